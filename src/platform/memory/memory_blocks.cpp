// The blocks the in-memory machine's tree is made of. A game of 50,000 files
// is loaded three times over in one update-make run, each file a node and an
// entry of its folder: blocks of one size are kept for reuse and carved from
// large pieces, where the heap would hand out and take back every one alone.
// The machine is used from one thread at a time, as the program runs on one.
#include <new>

#include "platform/memory/memory_machine.h"

namespace memory_platform {
namespace {

const size_t Granule = 16;          // every size is rounded up to it, which keeps blocks aligned
const size_t LargestKept = 512;     // larger blocks come from the heap as they are
const size_t PieceBytes = 64 << 10;  // carved into blocks

struct FreeBlock {
    FreeBlock* next;
};

// Plain data, never destroyed: the machine gives blocks back up to the end of the process.
FreeBlock* freeBlocks[LargestKept / Granule + 1];
char* pieceNext;
size_t pieceLeft;

size_t Rounded(size_t size) { return (size + Granule - 1) / Granule * Granule; }

}  // namespace

void* TakeBlock(size_t size) {
    size = Rounded(size);
    if (size > LargestKept) return ::operator new(size);
    FreeBlock*& first = freeBlocks[size / Granule];
    if (first) {
        FreeBlock* block = first;
        first = block->next;
        return block;
    }
    // What is left of a piece too small for this block stays unused.
    if (pieceLeft < size) {
        pieceNext = static_cast<char*>(::operator new(PieceBytes));
        pieceLeft = PieceBytes;
    }
    void* block = pieceNext;
    pieceNext += size;
    pieceLeft -= size;
    return block;
}

void GiveBackBlock(void* block, size_t size) {
    size = Rounded(size);
    if (size > LargestKept) {
        ::operator delete(block);
        return;
    }
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    freed->next = freeBlocks[size / Granule];
    freeBlocks[size / Granule] = freed;
}

}  // namespace memory_platform
