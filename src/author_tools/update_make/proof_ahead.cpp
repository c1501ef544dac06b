#include "author_tools/update_make/proof_ahead.h"

#include <system_error>

int ProofAhead::Start(const std::string& encoding, Prove prove) {
    encoding_ = encoding;
    late_ = std::make_shared<memory_platform::LateFile>();
    memory_platform::SetLateFile(encoding_, late_);
    try {
        thread_ = std::thread([this, prove] { status = prove(&proof, &problem); });
    } catch (const std::system_error&) {
        memory_platform::SetLateFile(encoding_, nullptr);
        late_.reset();
        return 1;
    }
    started_ = true;
    return 0;
}

void ProofAhead::EncoderEnded(bool complete) {
    if (!late_) return;
    late_->Ended(complete);
    if (thread_.joinable()) thread_.join();
    memory_platform::SetLateFile(encoding_, nullptr);
    late_.reset();
}
