#include "author_tools/run/progress_record.h"

#include "platform/memory/platform_memory.h"

namespace {

ProgressSeen* Seen = nullptr;
bool Open = false;  // between the beginning and the first end

void Begin(uint64_t total) {
    *Seen = ProgressSeen();
    Seen->begun = true;
    Seen->total = total;
    Open = true;
}

void File(ProgressStage stage, const char* path) {
    if (!Open) return;
    if (Seen->stages.empty() || Seen->stages.back().stage != stage) Seen->stages.push_back(ProgressStageSeen{stage});
    if (path[0] != '\0') ++Seen->stages.back().files;
}

void Advance(uint64_t bytes) {
    if (!Open) return;
    Seen->done += bytes;
    if (!Seen->stages.empty()) Seen->stages.back().bytes += bytes;
}

// Each box ends the progress first; the box about to be shown is the next one.
void End() {
    if (!Open) return;
    Open = false;
    Seen->closedBeforeBox = (int)memory_platform::MessageBoxes().size() + 1;
}

const ProgressSink Recorder = {Begin, File, Advance, End};

}  // namespace

void StartRecordingProgress(ProgressSeen* seen) {
    Seen = seen;
    Open = false;
    SetProgressSink(&Recorder);
}

void StopRecordingProgress() {
    SetProgressSink(nullptr);
    Seen = nullptr;
    Open = false;
}

const char* ProgressStageName(ProgressStage stage) {
    static const char* const names[ProgressStageCount] = {"deltas", "engine", "verify", "copy", "replace", "delete", "hash"};
    return (unsigned)stage < ProgressStageCount ? names[stage] : "?";
}
