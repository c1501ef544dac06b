// update-make OLD_GAME NEW_GAME PATCH_FOLDER: a complete patch from the old and
// the new game folder, proven by update.exe's own run on the in-memory machine.
#include <string>
#include <vector>

#include "author_tools/host/console_io.h"
#include "author_tools/update_make/make_tool.h"
#include "update_version.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

#if defined(__GLIBC__)
// A game of 50,000 files is held as some 100 MB of small objects (names,
// listings, the in-memory machine's trees), built and let go several times in
// one run. The first touch of every 4 KiB page is a fault, which costs about as
// much as the work done on the page; so the heap is laid out once in one large
// span that asks for huge pages (granted where the system gives them on
// request), and kept to the end rather than given back and faulted in again.
void PrepareHeap() {
    const size_t span = 256u << 20;
    const uintptr_t hugePage = 2u << 20;
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest the heap may take: listings of 100,000 entries stay in it
    mallopt(M_TOP_PAD, (int)span);
    char* before = static_cast<char*>(sbrk(0));
    void* volatile first = malloc(1 << 20);  // grows the heap by the pad (volatile: not left out as unused)
    char* after = static_cast<char*>(sbrk(0));
    free(first);
    mallopt(M_TOP_PAD, 128 << 10);  // the usual step, should the span not do
    if (before == reinterpret_cast<char*>(-1) || after <= before + span / 2) return;
    uintptr_t start = (reinterpret_cast<uintptr_t>(before) + hugePage - 1) & ~(hugePage - 1);
    uintptr_t end = reinterpret_cast<uintptr_t>(after) & ~(hugePage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}
#else
void PrepareHeap() {}
#endif

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    for (const std::string& argument : arguments)
        if (argument == "--version") return WriteUtf8(stdout, "update-make " UPDATE_VERSION "\n"), 0;
    PrepareHeap();
    std::string out, err;
    int status = RunUpdateMake(arguments, &out, &err);
    if (!out.empty()) WriteUtf8(stdout, out);
    if (!err.empty()) WriteUtf8(stderr, err);
    return status;
}
