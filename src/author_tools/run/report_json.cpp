#include <nlohmann/json.hpp>

#include "author_tools/run/report_writers.h"
#include "author_tools/host/text_conversion.h"
#include "state/progress_texts.h"

namespace mp = memory_platform;
// Keys in the order written, which reads better than sorted.
using json = nlohmann::ordered_json;

const char* ChangeKindName(mp::ChangeKind kind) {
    switch (kind) {
    case mp::ChangeKind::Replace: return "replace";
    case mp::ChangeKind::Add: return "add";
    case mp::ChangeKind::CreateFolder: return "create-folder";
    case mp::ChangeKind::Delete: return "delete";
    case mp::ChangeKind::ClearReadOnly: return "clear-read-only";
    }
    return "?";
}

bool ChangeHasSize(mp::ChangeKind kind) {
    return kind != mp::ChangeKind::CreateFolder && kind != mp::ChangeKind::ClearReadOnly;
}

std::string ReportAsJson(const CheckReport& report, bool listAfter) {
    json document;
    document["patch"] = ShiftJisToUtf8(report.patchPath);
    document["game"] = ShiftJisToUtf8(report.gamePath);
    if (!report.commandArguments.empty()) document["command_line"] = ShiftJisToUtf8(report.commandArguments);
    document["silent"] = report.silent;
    document["exit_status"] = report.exitStatus;
    if (!report.commandLineGameFolder.empty()) {
        document["command_line_game_folder"] = ShiftJisToUtf8(report.commandLineGameFolder);
        document["game_folder_differs"] = report.gameFolderDiffers;
    }
    if (!report.logFile.empty()) {
        document["log"] = {{"file", ShiftJisToUtf8(report.logFile)}, {"text", ShiftJisToUtf8(report.logText)}};
    }
    document["started_up"] = report.startedUp;
    document["completes"] = report.completes;
    document["boxes"] = json::array();
    for (const BoxSeen& box : report.boxes)
        document["boxes"].push_back({{"title", ShiftJisToUtf8(box.title)},
                                     {"text", ShiftJisToUtf8(box.text)},
                                     {"icon", box.warning ? "warning" : "none"},
                                     {"owner", box.owned ? "main" : "none"}});
    document["changes"] = json::array();
    for (const GameChange& change : report.changes) {
        json entry = {{"kind", ChangeKindName(change.kind)}, {"path", ShiftJisToUtf8(change.path)}};
        if (ChangeHasSize(change.kind)) entry["size"] = change.size;
        if (change.engine) entry["engine"] = true;
        if (!change.deltaFile.empty()) {
            entry["delta"] = ShiftJisToUtf8(change.deltaFile);
            entry["delta_size"] = change.deltaSize;
        }
        document["changes"].push_back(entry);
    }
    document["bytes_written"] = report.bytesWritten;
    document["space_needed"] = report.spaceMeasured ? json(report.spaceNeeded) : json(nullptr);
    if (report.freeBytesGiven) document["free_bytes"] = report.freeBytes;
    if (report.hasDeltaList) {
        document["deltas"] = json::array();
        for (const DeltaSeen& delta : report.deltas)
            document["deltas"].push_back({{"game_file", ShiftJisToUtf8(delta.gameFile)},
                                          {"delta_file", ShiftJisToUtf8(delta.deltaFile)},
                                          {"new_size", delta.newSize},
                                          {"delta_size", delta.deltaSize},
                                          {"versions", delta.versions.empty() ? json(nullptr)
                                                                              : json(ShiftJisToUtf8(delta.versions))},
                                          {"outcome", delta.outcome}});
        document["delta_bytes_saved"] = report.deltaBytesSaved;
    }
    // null where the run ends before it writes anything.
    document["progress"] = nullptr;
    if (report.progress.begun) {
        const ProgressSeen& progress = report.progress;
        json stages = json::array();
        for (const ProgressStageSeen& stage : progress.stages)
            stages.push_back({{"stage", ProgressStageName(stage.stage)},
                              {"text", ShiftJisToUtf8(ProgressStageText(stage.stage))},
                              {"files", stage.files},
                              {"bytes", stage.bytes}});
        document["progress"] = {{"window", !report.silent},
                                {"total", progress.total},
                                {"done", progress.done},
                                {"stages", stages},
                                {"closes_before_box", progress.closedBeforeBox}};
    }
    document["warnings"] = json::array();
    for (const AuthorWarning& warning : report.warnings)
        document["warnings"].push_back(
            {{"kind", warning.kind}, {"path", ShiftJisToUtf8(warning.path)}, {"message", ShiftJisToUtf8(warning.message)}});
    if (listAfter) {
        document["after"] = json::array();
        for (const ObjectAfter& object : report.after) {
            bool folder = object.folder;
            json entry = {{"path", ShiftJisToUtf8(object.path)}, {"folder", folder}, {"read_only", object.readOnly}};
            if (!folder) entry["size"] = object.size;
            document["after"].push_back(entry);
        }
    }
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
