# Sourced by the Wine scripts: the stage, a folder under /tmp owned by the user
# Wine runs as, where that user finds what it must read (the Windows programs
# built here, the end-to-end cases, the sample patch) and keeps its prefixes.
# The checkout may lie below a folder that user cannot enter (/root is drwx------):
# nothing outside the checkout is ever made accessible; copies are staged
# instead, and results written in the stage are copied back into build/.
#
# The stage of a checkout: /tmp/update-wine-<hash of the checkout path>/
#   wine-<lang>/   the Wine prefixes (one per language)
#   checkout/      copies, at the same relative paths as in the checkout

# The stage of the checkout at a path.
stage_root_of() { printf '/tmp/update-wine-%s\n' "$(printf '%s' "$1" | sha1sum | cut -c1-12)"; }

stage_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stage_root=$(stage_root_of "$stage_repo")
stage_checkout=$stage_root/checkout

# The user Wine runs as: the ordinary user wineuser when started as root (as root
# Wine would overwrite read-only files, which Windows refuses), else oneself.
if [ "$(id -u)" = 0 ] && id wineuser >/dev/null 2>&1; then
  stage_user=wineuser
  as_wine_user=(runuser -u wineuser -- env HOME=/home/wineuser USER=wineuser)
else
  stage_user=$(id -un)
  as_wine_user=(env)
fi

# Makes the stage (owned by the Wine user, private to it) if it is missing or
# belongs to someone else.
stage_make() {
  if [ -d "$stage_root" ] && [ "$(stat -c %U "$stage_root")" != "$stage_user" ]; then
    rm -rf "$stage_root"
  fi
  if [ ! -d "$stage_root" ]; then
    mkdir -m 700 "$stage_root" || return 1
    [ "$stage_user" = "$(id -un)" ] || chown "$stage_user": "$stage_root" || return 1
  fi
  "${as_wine_user[@]}" mkdir -p "$stage_checkout/build/artifacts" "$stage_checkout/build/demo"
}

# Copies what Wine programs read into the stage: the built Windows programs and
# libraries, the end-to-end cases and the sample patch. Only what changed is copied.
# The stamp is touched first, so anything written meanwhile counts as changed.
stage_sync() {
  stage_make || return 1
  touch "$stage_root/synced" || return 1
  local owner=()
  [ "$stage_user" = "$(id -un)" ] || owner=(--chown="$stage_user:$stage_user")
  local preset
  for preset in win32 win64; do
    [ -d "$stage_repo/build/$preset" ] || continue
    rsync -a "${owner[@]}" --prune-empty-dirs --include='*/' --include='*.exe' --include='*.dll' \
      --exclude='*' "$stage_repo/build/$preset" "$stage_checkout/build/" || return 1
  done
  mkdir -p "$stage_checkout/tests" || return 1
  rsync -a "${owner[@]}" --delete "$stage_repo/tests/e2e" "$stage_checkout/tests/" || return 1
  rsync -a "${owner[@]}" --delete "$stage_repo/examples" "$stage_checkout/" || return 1
}

# Whether anything staged has changed in the checkout since the last sync (a
# Windows program rebuilt, a case edited, added or removed). Far cheaper than a
# sync, so a run that synced once checks this before each program instead.
stage_changed() {
  [ -f "$stage_root/synced" ] || return 0
  local places=() preset
  for preset in win32 win64; do
    [ -d "$stage_repo/build/$preset" ] && places+=("$stage_repo/build/$preset")
  done
  [ ${#places[@]} = 0 ] ||
    [ -z "$(find "${places[@]}" \( -name '*.exe' -o -name '*.dll' \) -newer "$stage_root/synced" -print -quit)" ] ||
    return 0
  [ -n "$(find "$stage_repo/tests/e2e" "$stage_repo/examples" -newer "$stage_root/synced" -print -quit)" ]
}

# A path in the checkout as staged; any other path as it is.
stage_path() {
  local path=$1
  [ "${path#/}" = "$path" ] && path=$PWD/$path
  case $path in
    "$stage_repo"/*) printf '%s\n' "$stage_checkout/${path#"$stage_repo"/}" ;;
    *) printf '%s\n' "$1" ;;
  esac
}

# Copies the results written in the stage (screenshots, the demo's folders) back
# into build/, owned by the caller.
stage_bring_back() {
  local folder
  for folder in artifacts demo; do
    [ -d "$stage_checkout/build/$folder" ] || continue
    mkdir -p "$stage_repo/build/$folder"
    rsync -a --no-owner --no-group "$stage_checkout/build/$folder/" "$stage_repo/build/$folder/" || return 1
  done
}
