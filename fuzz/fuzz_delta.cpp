// Fuzz target for the delta decoder. An input is a source and a delta: two
// bytes (little-endian) give the source's length, the source follows, the rest
// is the delta. Checked on every input: the decoder asks only for source bytes
// that exist, writes only whole windows of at most DeltaMaxWindow bytes, reports
// what it wrote as the target's size and a problem exactly when it fails,
// leaves the bytes it gave to be written alone until it writes again or says it
// reuses them; the
// result does not depend on how the delta's reads are cut; a prefix of the
// delta fails or makes a prefix of the target; and both SHA-256
// implementations agree on the target, hashed in pieces of any size.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "codec/sha256.h"
#include "../tests/codec/sha256_in_pieces.h"
#include "codec/vcdiff_decoder.h"

namespace {

struct Run {
    const uint8_t* source;
    uint64_t sourceSize;
    const uint8_t* delta;
    size_t deltaSize;
    size_t readLimit;  // the most one delta read gives
    std::string target;
    int writes = 0;
    const char* given = nullptr;  // the bytes last given to be written, and a copy
    std::string givenCopy;
};

void CheckGiven(Run* run) {
    Require(!run->given || memcmp(run->given, run->givenCopy.data(), run->givenCopy.size()) == 0,
            "the bytes given to be written stay as they were until taken back");
}

void TargetReused(void* context) {
    Run* run = (Run*)context;
    CheckGiven(run);
    run->given = nullptr;
}

int ReadSource(void* context, uint64_t offset, void* buffer, size_t size) {
    Run* run = (Run*)context;
    Require(offset <= run->sourceSize && size <= run->sourceSize - offset, "source read inside the source",
            std::to_string(offset) + "+" + std::to_string(size) + " of " + std::to_string(run->sourceSize));
    memcpy(buffer, run->source + offset, size);
    return 0;
}

int ReadDelta(void* context, uint64_t offset, void* buffer, size_t size, size_t* count) {
    Run* run = (Run*)context;
    *count = 0;
    if (offset >= run->deltaSize) return 0;
    size_t available = run->deltaSize - (size_t)offset;
    *count = size < available ? size : available;
    if (*count > run->readLimit) *count = run->readLimit;
    memcpy(buffer, run->delta + offset, *count);
    return 0;
}

int WriteTarget(void* context, const void* data, size_t size) {
    Run* run = (Run*)context;
    Require(size > 0 && size <= DeltaMaxWindow, "a written window is of 1 to DeltaMaxWindow bytes");
    CheckGiven(run);
    run->given = (const char*)data;
    run->givenCopy.assign((const char*)data, size);
    run->target.append((const char*)data, size);
    ++run->writes;
    return 0;
}

struct Result {
    int status;
    DeltaProblem problem;
    std::string target;
};

Result Decode(const uint8_t* source, size_t sourceSize, const uint8_t* delta, size_t deltaSize, size_t readLimit) {
    Run run;
    run.source = source;
    run.sourceSize = sourceSize;
    run.delta = delta;
    run.deltaSize = deltaSize;
    run.readLimit = readLimit;
    DeltaIo io = {&run, sourceSize, UINT64_MAX, ReadSource, ReadDelta, WriteTarget, TargetReused};
    uint64_t targetSize = 0;
    DeltaProblem problem = DeltaFine;
    int status = DecodeDelta(&io, &targetSize, &problem);
    CheckGiven(&run);
    Require(status == 0 || status == 1, "status 0 or 1");
    Require((status == 0) == (problem == DeltaFine), "a problem exactly when the decode fails");
    Require(problem >= DeltaFine && problem <= DeltaWriteFailed, "a known problem");
    if (status == 0) Require(targetSize == run.target.size(), "the target size is what was written");
    return Result{status, problem, run.target};
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t sourceSize = data[0] | (size_t)data[1] << 8;
    if (sourceSize > size - 2) sourceSize = size - 2;
    const uint8_t* source = data + 2;
    const uint8_t* delta = source + sourceSize;
    size_t deltaSize = size - 2 - sourceSize;

    Result whole = Decode(source, sourceSize, delta, deltaSize, SIZE_MAX);
    Result bytewise = Decode(source, sourceSize, delta, deltaSize, 1 + deltaSize % 7);
    Require(whole.status == bytewise.status && whole.problem == bytewise.problem && whole.target == bytewise.target,
            "the result does not depend on how the delta's reads are cut");

    if (deltaSize > 0) {
        size_t cut = (size_t)(data[size - 1]) * deltaSize / 256;
        Result prefix = Decode(source, sourceSize, delta, cut, SIZE_MAX);
        if (prefix.status == 0 && whole.status == 0)
            Require(whole.target.compare(0, prefix.target.size(), prefix.target) == 0,
                    "a prefix of the delta makes a prefix of the target");
        if (whole.status == 0 && prefix.status == 1)
            Require(prefix.problem == DeltaTruncated, "a prefix of a good delta is truncated",
                    DeltaProblemName(prefix.problem));
    }

    if (whole.status == 0) {
        size_t piece = 1 + (deltaSize * 31) % 200;
        Sha256ForcePortable(false);
        std::string chosen = Sha256InPieces(whole.target, whole.target.size() + 1);
        Sha256ForcePortable(true);
        std::string portable = Sha256InPieces(whole.target, piece);
        Sha256ForcePortable(false);
        Require(chosen == portable, "both SHA-256 implementations agree", chosen + " " + portable);
    }
    return 0;
}
