#include "check/update_make/make_report.h"

#include <nlohmann/json.hpp>

#include "check/run/report_writers.h"
#include "check/host/text_conversion.h"

using json = nlohmann::ordered_json;

namespace {

std::string Utf8(const std::string& shiftJis) { return ShiftJisToUtf8(shiftJis); }

std::string Bytes(uint64_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

uint64_t Total(const MakeReport& report) { return report.descriptionBytes + report.updateBytes + report.exeBytes; }

std::string Files(const char* title, const std::vector<PlannedFile>& files) {
    std::string text = std::string(title) + " (" + std::to_string(files.size()) + "):\n";
    if (files.empty()) text += "  none\n";
    for (const PlannedFile& file : files) text += "  " + Utf8(file.path) + "  (" + Bytes(file.size) + ")\n";
    return text;
}

json FileList(const std::vector<PlannedFile>& files) {
    json list = json::array();
    for (const PlannedFile& file : files) list.push_back({{"path", Utf8(file.path)}, {"size", file.size}});
    return list;
}

// The warnings of what the patch leaves otherwise than NEW, beside those about
// its texts, its update.exe and the folders named.
bool IsDifference(const AuthorWarning& warning) {
    for (const char* kind : {"case-kept", "folder-upper-cased", "folder-stays", "delete-read-only"})
        if (warning.kind == kind) return true;
    return false;
}

}  // namespace

std::string ProofLine(const MakeReport& report) {
    const ProofResult& proof = report.proof;
    bool differs = false;
    for (const AuthorWarning& warning : report.plan.warnings) differs = differs || IsDifference(warning);
    if (proof.proven) return "The patch turns OLD into NEW" + std::string(differs ? ", apart from the warnings above." : ".");
    return "The patch does not turn OLD into NEW: " + std::to_string(proof.differences.size()) +
           (proof.differences.size() == 1 ? " difference" : " differences") + "; nothing was written.";
}

std::string MakeReportAsText(const MakeReport& report) {
    const MakeSettings& settings = report.settings;
    std::string text = "update-make: from " + settings.oldShown + " to " + settings.newShown + ", the patch in " +
                       report.patchShown + " (run at " + Utf8(settings.patchPath) + " on the game at " +
                       Utf8(settings.gamePath) + ")\n\n";
    text += Files("Added, listed under [AddFile]", report.plan.added);
    text += Files("Replaced", report.plan.replaced);
    text += Files("Deleted, listed under [DelFile]", report.plan.deleted);
    text += "Unchanged: " + std::to_string(report.plan.unchanged) + (report.plan.unchanged == 1 ? " file\n" : " files\n");
    text += "\nThe patch: update.ini " + Bytes(report.descriptionBytes) + ", update\\ " +
            std::to_string(report.updateFiles) + (report.updateFiles == 1 ? " file " : " files ") +
            Bytes(report.updateBytes) + ", update.exe " + Bytes(report.exeBytes) + ": " + Bytes(Total(report)) +
            " in all\n\nWarnings:\n";
    if (report.plan.warnings.empty()) text += "  none\n";
    for (const AuthorWarning& warning : report.plan.warnings)
        text += "  " + warning.kind + "  " + (warning.path.empty() ? "" : Utf8(warning.path) + ": ") +
                Utf8(warning.message) + "\n";
    text += "\nThe proof: update.exe's own start-up, reader and update run on OLD with this patch, Start pressed once.\n"
            "Boxes, in order:\n";
    text += BoxesAsText(report.proof.check.boxes);
    if (!report.proof.differences.empty()) {
        text += "Differences between the game folder afterwards and NEW:\n";
        for (const ProofDifference& difference : report.proof.differences)
            text += "  " + (difference.path.empty() ? std::string("(the run)") : Utf8(difference.path)) + ": " +
                    Utf8(difference.message) + "\n";
    }
    return text + ProofLine(report) + "\n";
}

std::string MakeReportAsJson(const MakeReport& report) {
    const MakeSettings& settings = report.settings;
    json document;
    document["old"] = settings.oldShown;
    document["new"] = settings.newShown;
    document["patch"] = report.patchShown;
    document["patch_path"] = Utf8(settings.patchPath);
    document["game_path"] = Utf8(settings.gamePath);
    document["added"] = FileList(report.plan.added);
    document["replaced"] = FileList(report.plan.replaced);
    document["deleted"] = FileList(report.plan.deleted);
    document["unchanged"] = report.plan.unchanged;
    document["size"] = {{"update_ini", report.descriptionBytes},
                        {"update_files", report.updateFiles},
                        {"update_bytes", report.updateBytes},
                        {"update_exe", report.exeBytes},
                        {"total", Total(report)}};
    document["warnings"] = json::array();
    for (const AuthorWarning& warning : report.plan.warnings)
        document["warnings"].push_back(
            {{"kind", warning.kind}, {"path", Utf8(warning.path)}, {"message", Utf8(warning.message)}});
    json proof;
    proof["completes"] = report.proof.check.completes;
    proof["boxes"] = json::array();
    for (const BoxSeen& box : report.proof.check.boxes)
        proof["boxes"].push_back({{"title", Utf8(box.title)}, {"text", Utf8(box.text)}, {"icon", box.warning ? "warning" : "none"}});
    proof["differences"] = json::array();
    for (const ProofDifference& difference : report.proof.differences)
        proof["differences"].push_back({{"path", Utf8(difference.path)}, {"message", Utf8(difference.message)}});
    document["proof"] = proof;
    document["proven"] = report.proof.proven;
    document["made"] = report.placed;
    document["result"] = ProofLine(report);
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
