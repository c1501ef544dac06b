// The proof of a patch begun while its last delta is still being encoded. The
// program's run on OLD reads that delta as the encoder writes it (a late file
// of the in-memory machine), so the proof ends soon after the encoder instead
// of decoding and hashing the whole result after it. Whether the patch is the
// one that was proven is for the caller to say, once every delta is made.
#ifndef UPDATE_CHECK_PROOF_AHEAD_H
#define UPDATE_CHECK_PROOF_AHEAD_H

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "author_tools/update_make/patch_maker.h"
#include "platform/memory/platform_memory.h"

class ProofAhead {
public:
    using Prove = std::function<int(ProofResult* proof, std::string* problem)>;
    ProofAhead() = default;
    ProofAhead(const ProofAhead&) = delete;
    ProofAhead& operator=(const ProofAhead&) = delete;
    ~ProofAhead() { EncoderEnded(false); }

    // Runs prove on a thread of its own, the file at encoding (UTF-8) read as
    // late until EncoderEnded. 0, or 1 when no thread can be had.
    int Start(const std::string& encoding, Prove prove);
    // The encoder has ended; complete: its file is whole. Returns once the
    // proof has ended and nothing reads the file any more.
    void EncoderEnded(bool complete);

    bool Started() const { return started_; }
    // The proof's outcome, once EncoderEnded has returned.
    int status = 1;
    ProofResult proof;
    std::string problem;

private:
    bool started_ = false;
    std::string encoding_;
    std::shared_ptr<memory_platform::LateFile> late_;
    std::thread thread_;
};

#endif
