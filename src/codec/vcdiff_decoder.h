// The decoder of binary deltas: plain VCDIFF (the generic differencing format of
// RFC 3284) as the patch author's encoder writes it. It turns a source (the game
// file as installed) and a delta into the target (the game file as the patch
// makes it), window by window.
//
// What it takes: the default code table, windows that copy from the source
// (64-bit positions), the encoder's Adler-32 of each target window (checked),
// an application header (skipped). What it refuses: secondary compression, an
// own code table, windows that copy from the earlier target, compressed
// sections, target windows above DeltaMaxWindow bytes.
//
// Memory is bounded whatever the sizes of the files: the source and the delta
// are read by seeking through small fixed buffers, and only the current target
// window is held whole, in a static buffer (the total is stated in
// vcdiff_decoder.cpp). Windows up to half that buffer take turns in its halves,
// so the one written last may still be read while the next is decoded. Every
// length and address is checked before use: a damaged or hostile delta is a clean failure, never a read or a write out of
// bounds. One decode at a time (the buffers are shared).
#ifndef UPDATE_VCDIFF_DECODER_H
#define UPDATE_VCDIFF_DECODER_H

#include <stddef.h>
#include <stdint.h>

enum DeltaProblem {
    DeltaFine = 0,
    DeltaNotVcdiff,         // the header's magic bytes or version are wrong
    DeltaUnsupported,       // secondary compression, an own code table, a window from the target, compressed sections
    DeltaTruncated,         // the delta ends inside its header, a window or a section
    DeltaBadWindow,         // a window's sizes do not add up, or its source segment lies past the source
    DeltaBadInstruction,    // an instruction or address outside the window, or sections not used exactly
    DeltaChecksumMismatch,  // a target window's Adler-32 is not the one the delta carries
    DeltaTooLarge,          // a target window above DeltaMaxWindow bytes
    DeltaTargetTooLong,     // the target would pass targetLimit bytes
    DeltaSourceReadFailed,  // readSource failed
    DeltaReadFailed,        // readDelta failed
    DeltaWriteFailed        // writeTarget failed
};

// The largest target window decoded (the encoder's windows are at most this).
enum { DeltaMaxWindow = 16 * 1024 * 1024 };

struct DeltaIo {
    void* context;
    uint64_t sourceSize;
    // the most bytes the target may have (UINT64_MAX: any): a delta that would
    // make more fails before the window that passes it is decoded.
    uint64_t targetLimit;
    // size bytes of the source at offset: 0, or 1 when they cannot all be read.
    int (*readSource)(void* context, uint64_t offset, void* buffer, size_t size);
    // up to size bytes of the delta at offset: 0 and the count (0 only at its end), or 1.
    int (*readDelta)(void* context, uint64_t offset, void* buffer, size_t size, size_t* count);
    // appends the next size bytes of the target: 0, or 1. The decoder leaves the
    // bytes as they are until this is called again and has returned, or until
    // targetReused is called, so they may still be read beside it meanwhile.
    int (*writeTarget)(void* context, const void* data, size_t size);
    // called, when given, before the decoder writes into the bytes it gave
    // writeTarget last: whatever still reads them must be done on return.
    void (*targetReused)(void* context);
};

// Decodes one whole delta: 0 and the target's size, or 1 and the problem.
// A delta with no windows makes an empty target. On failure some of the
// target may already have been written; the caller discards it.
int DecodeDelta(const DeltaIo* io, uint64_t* targetSize, DeltaProblem* problem);

// The problem in a few English words ("it is truncated", ...), for the author tools' reports.
const char* DeltaProblemName(DeltaProblem problem);

#endif
