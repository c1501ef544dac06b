#include "state/progress.h"

namespace {
const ProgressSink* Sink = nullptr;
}

void SetProgressSink(const ProgressSink* sink) { Sink = sink; }

void ProgressBegin(uint64_t totalBytes) {
    if (Sink && Sink->begin) Sink->begin(totalBytes);
}

void ProgressFile(ProgressStage stage, const char* path) {
    if (Sink && Sink->file) Sink->file(stage, path ? path : "");
}

void ProgressAdvance(uint64_t bytes) {
    if (Sink && Sink->advance) Sink->advance(bytes);
}

void ProgressEnd() {
    if (Sink && Sink->end) Sink->end();
}
