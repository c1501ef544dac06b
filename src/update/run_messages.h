// What the run tells the player: its message boxes, in the main window's
// name, and the window's finished state.
#ifndef UPDATE_UPDATE_RUN_MESSAGES_H
#define UPDATE_UPDATE_RUN_MESSAGES_H

#include "state/run_outcome.h"
#include "update/delta_apply.h"

// "<GameName>がインストールされていません。", titled with the caption.
void ReportNotInstalled();

// The copy-failure box.
void ReportCopyFailure();

// The warning of [Attention1], then the closing box: a file to replace is missing.
void ReportVerifyFailure();

// The room the patch needs and the room there is (LastRoomCheck), in whole
// megabytes, then the closing box.
void ReportNoRoom();

// The boxes of a stop before anything changed, by the deltas: a warning naming
// the file, then the closing box; a result that cannot be written is a copy
// failure. Returns the run's outcome.
RunOutcome ReportDeltaStop(const DeltaOutcome& outcome);

// The window's finished texts and button, then the completion box.
void ReportCompleted();

#endif
