// The hand-over of work to the thread beside: built into the host tests (the
// in-memory machine's worker) and into the Windows tests (the program's own).
// Each piece must run once, whole, before the wait for it returns, whether the
// other side was still watching for it or had gone to sleep.
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
void PauseMs(unsigned ms) { Sleep(ms); }
#else
#include <unistd.h>
void PauseMs(unsigned ms) { usleep(ms * 1000); }
#endif

namespace {

struct Piece {
    int number;
    unsigned pauseMs;       // how long the work takes
    std::vector<int>* done;  // where it notes its number, in order
};

void DoPiece(void* context) {
    Piece* piece = (Piece*)context;
    if (piece->pauseMs) PauseMs(piece->pauseMs);
    piece->done->push_back(piece->number);
}

}  // namespace

TEST(WorkBeside, EachPieceRunsOnceAndHasEndedWhenItsWaitReturns) {
    // Quick pieces handed over back to back (each side finds the other watching);
    // slow pieces the caller sleeps for; pieces given long after the last ended,
    // when the worker sleeps.
    struct Road {
        int pieces;
        unsigned workMs, gapMs;
    } roads[] = {{3000, 0, 0}, {5, 30, 0}, {5, 0, 30}};
    std::vector<int> done;
    done.reserve(4000);
    for (const Road& road : roads) {
        done.clear();
        for (int i = 0; i < road.pieces; ++i) {
            Piece piece{i, road.workMs, &done};
            if (PlatformStartBeside(DoPiece, &piece) != 0) DoPiece(&piece);
            PlatformWaitBeside();
            // The piece is on the caller's stack: it must be done with it now.
            ASSERT_EQ((size_t)i + 1, done.size()) << "piece " << i << " of " << road.pieces;
            ASSERT_EQ(i, done.back());
            if (road.gapMs) PauseMs(road.gapMs);
        }
    }
    // A wait with nothing given returns at once, and so does a second one.
    PlatformWaitBeside();
    PlatformWaitBeside();
}

TEST(WorkBeside, StartingTheNextPieceFirstWaitsForTheOneBefore) {
    std::vector<int> done;
    Piece first{1, 30, &done}, second{2, 0, &done};
    ASSERT_EQ(0, PlatformStartBeside(DoPiece, &first));
    ASSERT_EQ(0, PlatformStartBeside(DoPiece, &second));
    PlatformWaitBeside();
    EXPECT_EQ(std::vector<int>({1, 2}), done);
}
