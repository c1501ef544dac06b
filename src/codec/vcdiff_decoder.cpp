#include "codec/vcdiff_decoder.h"

#include <string.h>

#include "codec/adler32.h"

// Memory: all of it static, whatever the sizes of the files.
//   target window            16 MiB  (DeltaMaxWindow; two halves for windows up to 8 MiB)
//   source cache              1 MiB  (16 blocks of 64 KiB)
//   delta buffers           196 KiB  (window headers 4 KiB, three sections 64 KiB each)
//   code table, address cache ~8 KiB
// In all about 17.2 MiB, on i686 as on x86_64.

namespace {

// Header and window indicator bits.
const unsigned HeaderSecondaryCompression = 0x01;
const unsigned HeaderCodeTable = 0x02;
const unsigned HeaderApplicationData = 0x04;
const unsigned WindowFromSource = 0x01;
const unsigned WindowFromTarget = 0x02;
const unsigned WindowChecksum = 0x04;

enum InstructionType : unsigned char { NoOp = 0, Add = 1, Run = 2, Copy = 3 };

// One half of a code table entry: the instruction, its size (0: the size
// follows in the instructions section) and the address mode of a copy.
struct HalfInstruction {
    unsigned char type, size, mode;
};
struct CodeEntry {
    HalfInstruction first, second;
};

const unsigned NearSlots = 4;
const unsigned SameBlocks = 3;
const unsigned ModeCount = 2 + NearSlots + SameBlocks;

// A reading position in the delta with its own buffer; end is where the part
// it reads ends (a section's end, or the largest offset for window headers).
struct DeltaStream {
    unsigned char* buffer;
    size_t capacity;
    size_t at, filled;   // the unread bytes are buffer[at, filled)
    uint64_t next;       // the delta offset of buffer[filled]
    uint64_t end;
};

const size_t SourceBlock = 64 * 1024;
const unsigned SourceBlocks = 16;
const size_t SectionBuffer = 64 * 1024;
const size_t HeaderBuffer = 4096;

unsigned char targetWindow[DeltaMaxWindow];
unsigned char sourceCache[SourceBlocks][SourceBlock];
uint64_t sourceCacheBlock[SourceBlocks];  // which block each slot holds, UINT64_MAX for none
unsigned char headerBytes[HeaderBuffer];
unsigned char dataBytes[SectionBuffer], instructionBytes[SectionBuffer], addressBytes[SectionBuffer];
CodeEntry codeTable[256];
uint64_t nearAddresses[NearSlots];
unsigned nextNearSlot;
uint64_t sameAddresses[SameBlocks * 256];

// address % (SameBlocks * 256), the address's slot in the same cache, without
// a 64-bit division (which the 32-bit program would take from the runtime):
// the block is (address / 256) % 3 of its two 32-bit halves, as 2^32 % 3 == 1.
static_assert(SameBlocks == 3, "the halves' remainders add up only for 3");
unsigned SameSlot(uint64_t address) {
    uint64_t blocks = address >> 8;
    unsigned block = ((uint32_t)(blocks >> 32) % SameBlocks + (uint32_t)blocks % SameBlocks) % SameBlocks;
    return block * 256 + (unsigned)(address & 255);
}

const DeltaIo* io;
DeltaProblem failure;

// Where the bytes last given to writeTarget lie in targetWindow.
enum TargetPart { NoPart, FirstHalf, SecondHalf, WholeBuffer };
TargetPart partGiven;
const size_t HalfWindow = DeltaMaxWindow / 2;

void ReuseTarget() {
    if (io->targetReused) io->targetReused(io->context);
    partGiven = NoPart;
}

// Where a window of that length is decoded: the half the last window written did
// not use, so that one may still be read; else the whole buffer, once it is free.
TargetPart PartFor(size_t length) {
    if (length > HalfWindow) {
        if (partGiven != NoPart) ReuseTarget();
        return WholeBuffer;
    }
    if (partGiven == WholeBuffer) ReuseTarget();
    return partGiven == FirstHalf ? SecondHalf : FirstHalf;
}

DeltaStream headerStream, dataStream, instructionStream, addressStream;

int Fail(DeltaProblem problem) {
    failure = problem;
    return 1;
}

// The default code table: RUN; ADD of sizes 0 (size follows) and 1..17; COPY of
// sizes 0 and 4..18 in each of the nine modes; then the pairs ADD 1..4 + COPY
// 4..6 (modes 0..5), ADD 1..4 + COPY 4 (modes 6..8), COPY 4 + ADD 1 (all modes).
void BuildDefaultCodeTable() {
    memset(codeTable, 0, sizeof codeTable);
    unsigned index = 0;
    codeTable[index++].first = HalfInstruction{Run, 0, 0};
    for (unsigned size = 0; size <= 17; ++size) codeTable[index++].first = HalfInstruction{Add, (unsigned char)size, 0};
    for (unsigned mode = 0; mode < ModeCount; ++mode) {
        codeTable[index++].first = HalfInstruction{Copy, 0, (unsigned char)mode};
        for (unsigned size = 4; size <= 18; ++size)
            codeTable[index++].first = HalfInstruction{Copy, (unsigned char)size, (unsigned char)mode};
    }
    for (unsigned mode = 0; mode < ModeCount; ++mode) {
        unsigned largestCopy = mode < 6 ? 6 : 4;
        for (unsigned add = 1; add <= 4; ++add) {
            for (unsigned copy = 4; copy <= largestCopy; ++copy) {
                codeTable[index].first = HalfInstruction{Add, (unsigned char)add, 0};
                codeTable[index++].second = HalfInstruction{Copy, (unsigned char)copy, (unsigned char)mode};
            }
        }
    }
    for (unsigned mode = 0; mode < ModeCount; ++mode) {
        codeTable[index].first = HalfInstruction{Copy, 4, (unsigned char)mode};
        codeTable[index++].second = HalfInstruction{Add, 1, 0};
    }
}

void StartStream(DeltaStream* stream, unsigned char* buffer, size_t capacity, uint64_t offset, uint64_t end) {
    stream->buffer = buffer;
    stream->capacity = capacity;
    stream->at = stream->filled = 0;
    stream->next = offset;
    stream->end = end;
}

uint64_t StreamPosition(const DeltaStream* stream) { return stream->next - (stream->filled - stream->at); }

// Reads up to size bytes of the delta at offset, into buffer; a short count only at the delta's end.
int ReadDeltaBytes(uint64_t offset, unsigned char* buffer, size_t size, size_t* count) {
    *count = 0;
    while (*count < size) {
        size_t got = 0;
        if (io->readDelta(io->context, offset + *count, buffer + *count, size - *count, &got) != 0 ||
            got > size - *count)
            return Fail(DeltaReadFailed);
        if (got == 0) break;
        *count += got;
    }
    return 0;
}

// Refills an emptied stream. A stream that reaches its end is a bad
// instruction for a section (the instructions read past what the window
// holds) and truncation where the delta itself ends.
int Refill(DeltaStream* stream, DeltaProblem atEnd) {
    if (stream->next >= stream->end) return Fail(atEnd);
    size_t want = stream->capacity;
    if (stream->end - stream->next < want) want = (size_t)(stream->end - stream->next);
    size_t got;
    if (ReadDeltaBytes(stream->next, stream->buffer, want, &got) != 0) return 1;
    if (got == 0) return Fail(DeltaTruncated);
    stream->at = 0;
    stream->filled = got;
    stream->next += got;
    return 0;
}

inline int ReadByte(DeltaStream* stream, DeltaProblem atEnd, unsigned* byte) {
    if (stream->at == stream->filled && Refill(stream, atEnd) != 0) return 1;
    *byte = stream->buffer[stream->at++];
    return 0;
}

// A variable-length integer: base 128, most significant digit first, the
// high bit set on every byte but the last. More than 64 bits is malformed: a
// bad window in a window's header, a bad instruction in a section.
int ReadInteger(DeltaStream* stream, DeltaProblem atEnd, uint64_t* value) {
    uint64_t result = 0;
    for (;;) {
        unsigned byte;
        if (ReadByte(stream, atEnd, &byte) != 0) return 1;
        if (result > (UINT64_MAX >> 7)) return Fail(atEnd == DeltaTruncated ? DeltaBadWindow : atEnd);
        result = (result << 7) | (byte & 0x7f);
        if ((byte & 0x80) == 0) break;
    }
    *value = result;
    return 0;
}

// Copies size bytes of a section into the target window; large runs go
// straight from the delta into the window.
int ReadSection(DeltaStream* stream, unsigned char* destination, size_t size) {
    while (size > 0) {
        size_t buffered = stream->filled - stream->at;
        if (buffered == 0 && size >= stream->capacity) {
            if (stream->end - stream->next < size) return Fail(DeltaBadInstruction);
            size_t got;
            if (ReadDeltaBytes(stream->next, destination, size, &got) != 0) return 1;
            if (got < size) return Fail(DeltaTruncated);
            stream->next += size;
            return 0;
        }
        if (buffered == 0) {
            if (Refill(stream, DeltaBadInstruction) != 0) return 1;
            continue;
        }
        size_t take = buffered < size ? buffered : size;
        memcpy(destination, stream->buffer + stream->at, take);
        stream->at += take;
        destination += take;
        size -= take;
    }
    return 0;
}

// size bytes of the source at offset, through the block cache; large reads
// go straight into the target window.
int ReadSource(uint64_t offset, unsigned char* destination, size_t size) {
    if (size >= SourceBlock) {
        if (io->readSource(io->context, offset, destination, size) != 0) return Fail(DeltaSourceReadFailed);
        return 0;
    }
    while (size > 0) {
        uint64_t block = offset / SourceBlock;
        unsigned slot = (unsigned)(block % SourceBlocks);
        uint64_t blockStart = block * SourceBlock;
        size_t blockSize = io->sourceSize - blockStart < SourceBlock ? (size_t)(io->sourceSize - blockStart) : SourceBlock;
        if (sourceCacheBlock[slot] != block) {
            sourceCacheBlock[slot] = UINT64_MAX;
            if (io->readSource(io->context, blockStart, sourceCache[slot], blockSize) != 0)
                return Fail(DeltaSourceReadFailed);
            sourceCacheBlock[slot] = block;
        }
        size_t within = (size_t)(offset - blockStart);
        size_t take = blockSize - within < size ? blockSize - within : size;
        memcpy(destination, sourceCache[slot] + within, take);
        destination += take;
        offset += take;
        size -= take;
    }
    return 0;
}

void ResetAddressCache() {
    memset(nearAddresses, 0, sizeof nearAddresses);
    nextNearSlot = 0;
    memset(sameAddresses, 0, sizeof sameAddresses);
}

// The address of a copy in the window's joined address space (the source
// segment, then the target window), decoded by its mode; it must lie before here.
int DecodeAddress(unsigned mode, uint64_t here, uint64_t* address) {
    uint64_t value;
    if (mode < 2 + NearSlots) {
        if (ReadInteger(&addressStream, DeltaBadInstruction, &value) != 0) return 1;
        if (mode == 0) {
            *address = value;
        } else if (mode == 1) {
            if (value > here) return Fail(DeltaBadInstruction);
            *address = here - value;
        } else {
            uint64_t base = nearAddresses[mode - 2];
            if (value > UINT64_MAX - base) return Fail(DeltaBadInstruction);
            *address = base + value;
        }
    } else {
        unsigned byte;
        if (ReadByte(&addressStream, DeltaBadInstruction, &byte) != 0) return 1;
        *address = sameAddresses[(mode - 2 - NearSlots) * 256 + byte];
    }
    if (*address >= here) return Fail(DeltaBadInstruction);
    nearAddresses[nextNearSlot] = *address;
    nextNearSlot = (nextNearSlot + 1) % NearSlots;
    sameAddresses[SameSlot(*address)] = *address;
    return 0;
}

struct Window {
    uint64_t segmentPosition, segmentLength;  // the source segment; length 0 without one
    unsigned char* target;                    // where it is made, in targetWindow
    size_t targetLength;
    size_t filled;                            // target bytes made so far
};

// A copy of size bytes from address into the window at its filled end. The
// part in the source segment is read from the source; the part in the target
// window may overlap the bytes it makes, and repeats them as a byte-by-byte
// copy would.
int ExecuteCopy(Window* window, uint64_t address, size_t size) {
    unsigned char* destination = window->target + window->filled;
    if (address < window->segmentLength) {
        uint64_t inSegment = window->segmentLength - address;
        size_t take = inSegment < size ? (size_t)inSegment : size;
        if (ReadSource(window->segmentPosition + address, destination, take) != 0) return 1;
        destination += take;
        size -= take;
        address += take;
    }
    if (size == 0) return 0;
    size_t from = (size_t)(address - window->segmentLength);
    size_t at = (size_t)(destination - window->target);
    size_t done = 0;
    while (done < size) {
        size_t available = at + done - from;
        size_t take = size - done < available ? size - done : available;
        memcpy(window->target + at + done, window->target + from, take);
        done += take;
    }
    return 0;
}

int ExecuteInstruction(Window* window, const HalfInstruction& instruction) {
    if (instruction.type == NoOp) return 0;
    uint64_t size = instruction.size;
    if (size == 0 && ReadInteger(&instructionStream, DeltaBadInstruction, &size) != 0) return 1;
    if (size > window->targetLength - window->filled) return Fail(DeltaBadInstruction);
    size_t length = (size_t)size;
    unsigned char* destination = window->target + window->filled;
    if (instruction.type == Add) {
        if (ReadSection(&dataStream, destination, length) != 0) return 1;
    } else if (instruction.type == Run) {
        unsigned byte;
        if (ReadByte(&dataStream, DeltaBadInstruction, &byte) != 0) return 1;
        memset(destination, (int)byte, length);
    } else {
        uint64_t here = window->segmentLength + window->filled;
        uint64_t address;
        if (DecodeAddress(instruction.mode, here, &address) != 0) return 1;
        if (length > 0 && ExecuteCopy(window, address, length) != 0) return 1;
    }
    window->filled += length;
    return 0;
}

bool Adds(uint64_t a, uint64_t b, uint64_t* sum) {
    *sum = a + b;
    return *sum >= a;
}

// Decodes the window whose header begins at the header stream's position;
// leaves the header stream at the next window.
int DecodeWindow(unsigned indicator, uint64_t* targetSize) {
    if ((indicator & ~(WindowFromSource | WindowFromTarget | WindowChecksum)) != 0) return Fail(DeltaUnsupported);
    if ((indicator & WindowFromTarget) != 0) return Fail(DeltaUnsupported);
    Window window = Window();
    if ((indicator & WindowFromSource) != 0) {
        if (ReadInteger(&headerStream, DeltaTruncated, &window.segmentLength) != 0 ||
            ReadInteger(&headerStream, DeltaTruncated, &window.segmentPosition) != 0)
            return 1;
        uint64_t segmentEnd;
        if (!Adds(window.segmentPosition, window.segmentLength, &segmentEnd) || segmentEnd > io->sourceSize)
            return Fail(DeltaBadWindow);
    }
    uint64_t encodingLength, targetLength, dataLength, instructionLength, addressLength;
    unsigned deltaIndicator;
    if (ReadInteger(&headerStream, DeltaTruncated, &encodingLength) != 0) return 1;
    uint64_t encodingStart = StreamPosition(&headerStream);
    if (ReadInteger(&headerStream, DeltaTruncated, &targetLength) != 0) return 1;
    if (targetLength > DeltaMaxWindow) return Fail(DeltaTooLarge);
    if (targetLength > io->targetLimit - *targetSize) return Fail(DeltaTargetTooLong);
    if (ReadByte(&headerStream, DeltaTruncated, &deltaIndicator) != 0) return 1;
    if (deltaIndicator != 0) return Fail(DeltaUnsupported);
    if (ReadInteger(&headerStream, DeltaTruncated, &dataLength) != 0 ||
        ReadInteger(&headerStream, DeltaTruncated, &instructionLength) != 0 ||
        ReadInteger(&headerStream, DeltaTruncated, &addressLength) != 0)
        return 1;
    uint32_t checksum = 0;
    if ((indicator & WindowChecksum) != 0) {
        for (int i = 0; i < 4; ++i) {
            unsigned byte;
            if (ReadByte(&headerStream, DeltaTruncated, &byte) != 0) return 1;
            checksum = checksum << 8 | byte;
        }
    }
    // The encoding's length must be its header and its three sections exactly.
    uint64_t dataStart = StreamPosition(&headerStream), instructionStart, addressStart, windowEnd, declaredEnd;
    if (!Adds(dataStart, dataLength, &instructionStart) || !Adds(instructionStart, instructionLength, &addressStart) ||
        !Adds(addressStart, addressLength, &windowEnd) || !Adds(encodingStart, encodingLength, &declaredEnd) ||
        windowEnd != declaredEnd)
        return Fail(DeltaBadWindow);
    // The whole window must be in the delta before anything of it is decoded.
    if (windowEnd > dataStart) {
        unsigned char last;
        size_t got;
        if (ReadDeltaBytes(windowEnd - 1, &last, 1, &got) != 0) return 1;
        if (got == 0) return Fail(DeltaTruncated);
    }

    window.targetLength = (size_t)targetLength;
    TargetPart part = PartFor(window.targetLength);
    window.target = targetWindow + (part == SecondHalf ? HalfWindow : 0);
    StartStream(&dataStream, dataBytes, sizeof dataBytes, dataStart, instructionStart);
    StartStream(&instructionStream, instructionBytes, sizeof instructionBytes, instructionStart, addressStart);
    StartStream(&addressStream, addressBytes, sizeof addressBytes, addressStart, windowEnd);
    ResetAddressCache();
    while (StreamPosition(&instructionStream) < addressStart) {
        unsigned opcode;
        if (ReadByte(&instructionStream, DeltaBadInstruction, &opcode) != 0) return 1;
        const CodeEntry& entry = codeTable[opcode];
        if (ExecuteInstruction(&window, entry.first) != 0 || ExecuteInstruction(&window, entry.second) != 0) return 1;
    }
    if (window.filled != window.targetLength || StreamPosition(&dataStream) != instructionStart ||
        StreamPosition(&addressStream) != windowEnd)
        return Fail(DeltaBadInstruction);
    if ((indicator & WindowChecksum) != 0 && Adler32(window.target, window.targetLength) != checksum)
        return Fail(DeltaChecksumMismatch);
    if (window.targetLength > 0) {
        if (io->writeTarget(io->context, window.target, window.targetLength) != 0) return Fail(DeltaWriteFailed);
        partGiven = part;
    }
    *targetSize += window.targetLength;
    StartStream(&headerStream, headerBytes, sizeof headerBytes, windowEnd, UINT64_MAX);
    return 0;
}

int ReadFileHeader() {
    static const unsigned char magic[4] = {0xD6, 0xC3, 0xC4, 0x00};
    for (int i = 0; i < 4; ++i) {
        unsigned byte;
        if (ReadByte(&headerStream, DeltaTruncated, &byte) != 0) return 1;
        if (byte != magic[i]) return Fail(DeltaNotVcdiff);
    }
    unsigned indicator;
    if (ReadByte(&headerStream, DeltaTruncated, &indicator) != 0) return 1;
    // Secondary compression and an own code table are refused, as are bits
    // this format version does not define.
    if ((indicator & (HeaderSecondaryCompression | HeaderCodeTable)) != 0 || (indicator & ~7u) != 0)
        return Fail(DeltaUnsupported);
    if ((indicator & HeaderApplicationData) != 0) {
        uint64_t length, skipTo;
        if (ReadInteger(&headerStream, DeltaTruncated, &length) != 0) return 1;
        if (!Adds(StreamPosition(&headerStream), length, &skipTo)) return Fail(DeltaTruncated);
        // A delta that ends inside it is truncated, not a delta without windows.
        if (length > 0) {
            unsigned char last;
            size_t got;
            if (ReadDeltaBytes(skipTo - 1, &last, 1, &got) != 0) return 1;
            if (got == 0) return Fail(DeltaTruncated);
        }
        StartStream(&headerStream, headerBytes, sizeof headerBytes, skipTo, UINT64_MAX);
    }
    return 0;
}

}  // namespace

int DecodeDelta(const DeltaIo* delta, uint64_t* targetSize, DeltaProblem* problem) {
    io = delta;
    failure = DeltaFine;
    *targetSize = 0;
    partGiven = NoPart;
    BuildDefaultCodeTable();
    for (unsigned slot = 0; slot < SourceBlocks; ++slot) sourceCacheBlock[slot] = UINT64_MAX;
    StartStream(&headerStream, headerBytes, sizeof headerBytes, 0, UINT64_MAX);
    int status = ReadFileHeader();
    while (status == 0) {
        if (headerStream.at == headerStream.filled) {
            // The delta may end only here, between windows.
            size_t got;
            if (ReadDeltaBytes(headerStream.next, headerStream.buffer, headerStream.capacity, &got) != 0) {
                status = 1;
                break;
            }
            if (got == 0) break;
            headerStream.at = 0;
            headerStream.filled = got;
            headerStream.next += got;
        }
        unsigned indicator = headerStream.buffer[headerStream.at++];
        status = DecodeWindow(indicator, targetSize);
    }
    *problem = status == 0 ? DeltaFine : failure;
    return status;
}

const char* DeltaProblemName(DeltaProblem problem) {
    switch (problem) {
    case DeltaFine: return "no problem";
    case DeltaNotVcdiff: return "it is not a VCDIFF delta";
    case DeltaUnsupported: return "it uses what the decoder does not support";
    case DeltaTruncated: return "it is truncated";
    case DeltaBadWindow: return "a window does not add up";
    case DeltaBadInstruction: return "an instruction leads outside its window";
    case DeltaChecksumMismatch: return "a window's Adler-32 does not match its result";
    case DeltaTooLarge: return "a window is larger than the decoder allows";
    case DeltaTargetTooLong: return "its result is longer than the new file";
    case DeltaSourceReadFailed: return "the old file could not be read";
    case DeltaReadFailed: return "the delta could not be read";
    case DeltaWriteFailed: return "its result could not be written";
    }
    return "an unknown problem";
}
