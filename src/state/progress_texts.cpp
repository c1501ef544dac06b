#include "state/progress_texts.h"

#include "text/text.h"

namespace {

const char* const StageTexts[ProgressStageCount] = {
    "差分から新しいファイルを作成しています。",  // ProgressDeltas
    "実行ファイルを更新しています。",            // ProgressEngine
    "更新するファイルを確認しています。",        // ProgressVerify
    "ファイルをコピーしています。",              // ProgressCopy
    "新しいファイルに置き換えています。",        // ProgressReplace
    "不要なファイルを削除しています。",          // ProgressDelete
    "ゲームのファイルを確認しています。",        // ProgressHash
};

const uint64_t Kilobyte = 1024;
const uint64_t Megabyte = 1048576;

}  // namespace

const char* ProgressStageText(ProgressStage stage) {
    return (unsigned)stage < ProgressStageCount ? StageTexts[stage] : "";
}

unsigned ProgressPermille(uint64_t done, uint64_t total) {
    if (total == 0 || done >= total) return total == 0 ? 0 : 1000;
    // Divided first where the product could overflow.
    if (done > UINT64_MAX / 1000) return (unsigned)(done / (total / 1000 + 1));
    return (unsigned)(done * 1000 / total);
}

static unsigned Clamped(uint64_t value) { return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : (unsigned)value; }

// Tenths of a megabyte, or whole kilobytes (a small total rounded up, so that
// it never reads 0KB). What is done is rounded down, so that it never reads as
// more than it is, and reads as the total once it is. (The C runtime of older
// systems prints no 64-bit numbers: the figures are 32-bit.)
int FormatProgressAmount(char* text, size_t size, uint64_t done, uint64_t total) {
    if (done > total) done = total;
    unsigned percent = ProgressPermille(done, total) / 10;
    if (total >= Megabyte) {
        unsigned totalTenths = Clamped(total * 10 / Megabyte);
        unsigned doneTenths = done == total ? totalTenths : Clamped(done * 10 / Megabyte);
        return FormatText(text, size, "進行状況：%u.%uMB / %u.%uMB（%u%%）", doneTenths / 10, doneTenths % 10,
                          totalTenths / 10, totalTenths % 10, percent);
    }
    unsigned totalKilobytes = Clamped((total + Kilobyte - 1) / Kilobyte);
    unsigned doneKilobytes = done == total ? totalKilobytes : Clamped(done / Kilobyte);
    return FormatText(text, size, "進行状況：%uKB / %uKB（%u%%）", doneKilobytes, totalKilobytes, percent);
}
