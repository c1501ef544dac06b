#include "update/run_messages.h"

#include "description/update_description.h"
#include "platform/platform.h"
#include "state/scratch_buffers.h"
#include "state/user_messages.h"
#include "state/window_handles.h"
#include "text/text.h"
#include "update/room_check.h"

namespace {

const char ErrorTitle[] = "アップデートエラー";
const char CopyFailureText[] = "ファイルのコピーに失敗しました。";
const char ClosingText[] = "アップデートを終了します。";
const char CompletionText[] = "アップデートが完了しました。";
const char NoRoomText[] =
    "ディスクの空き容量が足りません。\n必要な空き容量：%uMB\n現在の空き容量：%uMB\n"
    "空き容量を増やしてから、もう一度実行して下さい。";
const char WrongVersionText[] = "%sのバージョンが違うため、アップデートできません。";
const char MissingFileText[] = "%sが見つからないため、アップデートできません。";
const char DamagedText[] = "%sが壊れているため、アップデートできません。";
const char FinishedBodyText[] = "アップデートが完了しました。\n「終了」ボタンを押して終了して下さい。";
const char WarningTitleFormat[] = "%s 注意";

// A warning's title: the caption (at most 511 bytes) and " 注意".
char WarningTitle[NameFieldSize + sizeof " 注意"];

void ShowBox(const char* text, const char* title, unsigned type) {
    ShowUserMessage(WindowHandles.MainWindow, text, title, type);
}

// A warning titled "<Caption> 注意", then the closing box.
void WarnThenClose(const char* text) {
    FormatText(WarningTitle, sizeof WarningTitle, WarningTitleFormat, UpdateDescription.Caption);
    ShowBox(text, WarningTitle, BoxIconWarning);
    ShowBox(ClosingText, UpdateDescription.Caption, BoxOk);
}

// Whole megabytes (1,048,576 bytes) as Explorer counts them: what is needed
// rounded up and what is free rounded down, so a shortfall never reads as room.
unsigned Megabytes(uint64_t bytes, bool roundUp) {
    const uint64_t megabyte = 1048576;
    uint64_t count = bytes / megabyte + (roundUp && bytes % megabyte != 0 ? 1 : 0);
    return count > 0xFFFFFFFFu ? 0xFFFFFFFFu : (unsigned)count;
}

}  // namespace

// GameName and Caption hold at most 511 bytes, so these texts always fit MessageBuffer.
void ReportNotInstalled() {
    FormatText(MessageBuffer, sizeof MessageBuffer, "%sがインストールされていません。", UpdateDescription.GameName);
    ShowBox(MessageBuffer, UpdateDescription.Caption, BoxIconWarning);
}

void ReportCopyFailure() {
    FormatText(MessageBuffer, sizeof MessageBuffer, "%s", CopyFailureText);
    ShowBox(MessageBuffer, ErrorTitle, BoxIconWarning);
}

void ReportVerifyFailure() { WarnThenClose(UpdateDescription.Attention1); }

void ReportNoRoom() {
    FormatText(MessageBuffer, sizeof MessageBuffer, NoRoomText, Megabytes(LastRoomCheck.bytesNeeded, true),
               Megabytes(LastRoomCheck.bytesFree, false));
    WarnThenClose(MessageBuffer);
}

// The name is a field of the delta list, at most 511 bytes: the texts fit.
RunOutcome ReportDeltaStop(const DeltaOutcome& outcome) {
    if (outcome.stop == DeltaStopWriteFailed) {
        ReportCopyFailure();
        return OutcomeCopyFailed;
    }
    const char* text = DamagedText;
    RunOutcome result = OutcomeDamagedDelta;
    if (outcome.stop == DeltaStopWrongVersion || outcome.stop == DeltaStopMissingFile) {
        text = outcome.stop == DeltaStopWrongVersion ? WrongVersionText : MissingFileText;
        result = OutcomeWrongVersion;
    }
    FormatText(MessageBuffer, sizeof MessageBuffer, text, outcome.name);
    WarnThenClose(MessageBuffer);
    return result;
}

// The hidden window shows its finished state behind the completion box.
void ReportCompleted() {
    PlatformSetWindowText(WindowHandles.TopText, "");
    PlatformSetWindowText(WindowHandles.BodyText, FinishedBodyText);
    PlatformShowWindow(WindowHandles.StartButton, ShowHide);
    PlatformShowWindow(WindowHandles.CancelButton, ShowHide);
    PlatformShowWindow(WindowHandles.FinishButton, ShowShow);
    PlatformSetFocus(WindowHandles.FinishButton);
    ShowBox(CompletionText, UpdateDescription.Caption, BoxOk);
}
