# Sourced by the Wine scripts: the way the i686 (release) build runs under Wine
# on this machine, and running a command on the qemu road.
#
#   native  the kernel executes 32-bit Linux programs: Wine's 32-bit loader
#           (/usr/lib/wine/wine) starts as it is.
#   qemu    it does not, or UPDATE_I686_VIA=qemu asks for this road: the 32-bit
#           loader runs through qemu-i386 (user-mode emulation), registered for
#           i386 ELF programs with binfmt_misc inside a private user and mount
#           namespace that only the command and its children see (Linux 6.7 or
#           later gives each user namespace a binfmt_misc of its own). User and
#           group ids are mapped one to one, so the programs there are the same
#           user as outside, use the same /tmp/.wine-UID socket folder and talk
#           to the wine server started outside. Nothing outside the namespace
#           changes, and the registration ends with its last process.
#   none    neither works; the reason is in i686_road_why.
#
# UPDATE_I686_VIA=native|qemu forces a road (auto, the default: native where it
# works, else qemu). The road found is exported as UPDATE_I686_ROAD (with the
# request it answers, auto:native for one), so the scripts a run starts
# (wine-run under CTest) do not look again.

# Wine's 32-bit loader, a 32-bit Linux program.
i686_loader=/usr/lib/wine/wine

# The qemu-i386 to use: bookworm-backports' qemu-user (10.0; scripts/setup
# installs it where the road needs it). Bookworm's own 7.2 is refused: it spends
# over 100 s starting Wine's loader (its reservation of the address space).
i686_qemu_program() {
  local candidate version
  for candidate in /usr/bin/qemu-i386 /usr/bin/qemu-i386-static; do
    [ -x "$candidate" ] || continue
    version=$("$candidate" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
    if [ -n "$version" ] && [ "$version" -ge 10 ]; then
      printf '%s\n' "$candidate"
      return 0
    fi
  done
  return 1
}

# Whether this kernel gives a user namespace a binfmt_misc of its own (6.7 on).
i686_kernel_has_private_binfmt() {
  local release major minor
  release=$(uname -r)
  major=${release%%.*}
  minor=${release#*.}
  minor=${minor%%[!0-9]*}
  [ "$major" -gt 6 ] || { [ "$major" = 6 ] && [ "${minor:-0}" -ge 7 ]; }
}

# Runs COMMAND in a private user and mount namespace with a binfmt_misc of its
# own: empty when QEMU is "", else with QEMU registered for i386 ELF programs
# (flags F: the emulator is opened now, so it is found from anywhere; P: the
# program keeps its argv[0]). Ids map one to one: as root every id (written into
# the namespace's uid_map from outside, as newuidmap is not there), as another
# user that user's own. UPDATE_I686_NS is set inside. Exit status: COMMAND's,
# 125 when the namespace could not be made (the reason on the error stream).
i686_namespace() {  # QEMU|"" COMMAND...
  local qemu=$1
  shift
  local dir
  dir=$(mktemp -d /tmp/update-i686-XXXXXX) || return 125
  mkdir "$dir/binfmt" && mkfifo "$dir/go" || { rm -rf "$dir"; return 125; }
  # i386 ELF executables and shared objects (e_type 2 or 3, e_machine 3).
  local line=''
  [ -z "$qemu" ] || line=":update-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:FP"
  # Inside: wait for the id maps, mount the namespace's binfmt_misc (it lives
  # as long as this mount does, which is as long as the namespace), register.
  local inside='
    read -r _ < "$1/go" || exit 125
    mount -t binfmt_misc update-binfmt "$1/binfmt" ||
      { echo "i686: binfmt_misc cannot be mounted in a user namespace here" >&2; exit 125; }
    if [ -n "$2" ]; then
      printf "%b" "$2" > "$1/binfmt/register" ||
        { echo "i686: qemu-i386 could not be registered in the namespace" >&2; exit 125; }
    fi
    shift 2
    export UPDATE_I686_NS=1
    exec "$@"'
  local mapping=() then=() pid
  if [ "$(id -u)" != 0 ]; then
    # An ordinary user may map only its own ids: it is root in the namespace
    # while it registers, and COMMAND runs in a namespace nested inside, as
    # that user again (a nested namespace uses its parent's binfmt_misc).
    mapping=(--map-root-user)
    then=(unshare --user --map-user="$(id -u)" --map-group="$(id -g)" --)
  fi
  # The command keeps the caller's input (a background job would get /dev/null).
  exec {i686_stdin}<&0 2>/dev/null || exec {i686_stdin}</dev/null
  unshare --user --mount "${mapping[@]}" -- bash -c "$inside" i686 "$dir" "$line" "${then[@]}" "$@" <&"$i686_stdin" &
  pid=$!
  exec {i686_stdin}<&-
  if [ "$(id -u)" = 0 ]; then
    local mine tries=0
    mine=$(readlink /proc/self/ns/user)
    while [ "$(readlink "/proc/$pid/ns/user" 2>/dev/null)" = "$mine" ] && [ $tries -lt 500 ]; do
      sleep 0.01; tries=$((tries + 1))
    done
    { echo '0 0 4294967295' > "/proc/$pid/uid_map" && echo '0 0 4294967295' > "/proc/$pid/gid_map"; } 2>/dev/null ||
      echo "i686: the namespace's id maps could not be written" >&2
  fi
  echo go > "$dir/go"
  local status=0
  wait "$pid" || status=$?
  rm -rf "$dir"
  return $status
}

# Sets i686_road (native, qemu or none) and i686_road_why, and exports
# UPDATE_I686_ROAD. Returns 1 for none.
i686_road() {
  i686_road_why=
  local via=${UPDATE_I686_VIA:-auto} qemu
  # A road found before counts only for the same request.
  case ${UPDATE_I686_ROAD:-} in
    "$via":native|"$via":qemu) i686_road=${UPDATE_I686_ROAD#*:}; return 0 ;;
  esac
  case $via in
    auto|native|qemu) ;;
    *) i686_road=none
       i686_road_why="UPDATE_I686_VIA=$via: expected native, qemu or auto"
       return 1 ;;
  esac
  if [ "$via" != qemu ]; then
    if i686_runs_natively; then
      i686_road=native
      export UPDATE_I686_ROAD=$via:native
      return 0
    fi
    i686_road_why="this kernel does not execute 32-bit Linux programs"
    if [ "$via" = native ]; then i686_road=none; return 1; fi
  fi
  i686_road=none
  if ! i686_kernel_has_private_binfmt; then
    i686_road_why="${i686_road_why:+$i686_road_why, and }the kernel $(uname -r) is older than 6.7 (no binfmt_misc of a namespace's own)"
    return 1
  fi
  if ! qemu=$(i686_qemu_program); then
    i686_road_why="${i686_road_why:+$i686_road_why, and }no qemu-i386 10 or later (scripts/setup installs it from bookworm-backports)"
    return 1
  fi
  local out
  if ! out=$(timeout 60 bash -c "$(declare -f i686_namespace); i686_namespace \"\$@\"" i686 "$qemu" "$i686_loader" --version 2>&1); then
    i686_road_why="${i686_road_why:+$i686_road_why, and }Wine's 32-bit loader does not start through $qemu: ${out:-timed out}"
    return 1
  fi
  i686_road=qemu
  export UPDATE_I686_ROAD=$via:qemu
  return 0
}

# Whether Wine's 32-bit loader starts without any emulator. Where the kernel
# allows, it is tried in a namespace whose binfmt_misc is empty, so an emulator
# registered on the machine (qemu-user-binfmt) cannot answer in its place.
i686_runs_natively() {
  if i686_kernel_has_private_binfmt; then
    timeout 30 bash -c "$(declare -f i686_namespace); i686_namespace '' \"\$@\"" i686 "$i686_loader" --version >/dev/null 2>&1
    return
  fi
  # Older kernels: a registered qemu-i386 would answer for the kernel.
  if [ "$(head -n 1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null)" = enabled ]; then return 1; fi
  "$i686_loader" --version >/dev/null 2>&1
}

# How a run names the road, for the test output.
i686_road_text() {
  case $i686_road in
    native) echo "natively (this kernel executes 32-bit programs)" ;;
    qemu) local qemu version
          qemu=$(i686_qemu_program)
          version=$("$qemu" --version | sed -n 's/^qemu-i386 version \([^ ]*\).*/\1/p')
          echo "through qemu-i386 $version (user-mode emulation in a private namespace${UPDATE_I686_VIA:+, UPDATE_I686_VIA=$UPDATE_I686_VIA})" ;;
    *) echo "not at all: $i686_road_why" ;;
  esac
}
