// What the update run tells about its progress while it works: the stage, the
// file being written and how much of the whole is done. The run only reports;
// whoever shows it (the progress window of the executable, update-check's
// record) installs a sink. Without a sink every report is dropped, so the run
// behaves alike with and without one.
#ifndef UPDATE_STATE_PROGRESS_H
#define UPDATE_STATE_PROGRESS_H

#include <stdint.h>

enum ProgressStage {
    ProgressDeltas = 0,   // making and checking the new versions of files patched by deltas
    ProgressEngine = 1,   // replacing the engine executable
    ProgressVerify = 2,   // checking that every file to replace is there
    ProgressCopy = 3,     // copying the update tree over the game folder
    ProgressReplace = 4,  // putting the new versions made from deltas in place
    ProgressDelete = 5,   // deleting the files update.ini lists
    ProgressHash = 6,     // hashing a game file a delta patches whose size may be the new version's:
                          // the first stage of such a file, before its delta is decoded
};
enum { ProgressStageCount = 7 };

struct ProgressSink {
    // The run starts working, with the bytes it will hash and write in all.
    void (*begin)(uint64_t totalBytes);
    // A stage or a file (Shift-JIS, relative to the game folder; "" for none) begins.
    void (*file)(ProgressStage stage, const char* path);
    // Bytes written (or, in ProgressHash, hashed) since the last report; 0
    // while the run works on something its total does not count.
    void (*advance)(uint64_t bytes);
    // The run stops working: before each box and at the end.
    void (*end)();
};

// The sink in use; none by default.
void SetProgressSink(const ProgressSink* sink);

void ProgressBegin(uint64_t totalBytes);
void ProgressFile(ProgressStage stage, const char* path);
void ProgressAdvance(uint64_t bytes);
void ProgressEnd();

#endif
