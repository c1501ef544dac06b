// What a patch's deltas save, one figure for update-make and update-check.
#ifndef UPDATE_CHECK_DELTA_SAVINGS_H
#define UPDATE_CHECK_DELTA_SAVINGS_H

#include <stdint.h>

// How many bytes the patch is smaller than the same patch with every delta's
// file carried whole in update\ (and no deltas\ nor deltas.txt): the new
// files' bytes, less the deltas' and deltas.txt's. Negative when the deltas and
// their list take more room than the files would.
inline int64_t DeltaBytesSaved(uint64_t newFileBytes, uint64_t deltaFileBytes, uint64_t manifestBytes) {
    return (int64_t)newFileBytes - (int64_t)deltaFileBytes - (int64_t)manifestBytes;
}

#endif
