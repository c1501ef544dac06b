#include "author_tools/update_make/make_report.h"

#include <stdio.h>

#include <set>

#include <nlohmann/json.hpp>

#include "author_tools/run/delta_savings.h"
#include "author_tools/run/report_writers.h"
#include "author_tools/host/text_conversion.h"

using json = nlohmann::ordered_json;

namespace {

std::string Utf8(const std::string& shiftJis) { return ShiftJisToUtf8(shiftJis); }

std::string Bytes(uint64_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

uint64_t Total(const MakeReport& report) {
    return report.descriptionBytes + report.updateBytes + report.deltas.manifestBytes + report.deltas.deltaBytes +
           report.alsoWholeBytes + report.exeBytes;
}

// Each file the deltas make counts once, however many old versions it has a delta from.
int64_t Saved(const MakeReport& report) {
    uint64_t newBytes = 0;
    std::set<size_t> counted;
    for (const DeltaFile& delta : report.deltas.deltas)
        if (counted.insert(delta.replaced).second) newBytes += delta.newSize;
    return DeltaBytesSaved(newBytes, report.deltas.deltaBytes, report.deltas.manifestBytes);
}

// The patch had every replaced file travelled whole (in update\, once).
uint64_t WholeTotal(const MakeReport& report) {
    return (uint64_t)((int64_t)(Total(report) - report.alsoWholeBytes) + Saved(report));
}

const DeltaFile* DeltaOf(const MakeReport& report, const std::vector<PlannedFile>& files, const PlannedFile& file) {
    if (&files != &report.plan.replaced) return nullptr;
    for (const DeltaFile& delta : report.deltas.deltas)
        if (delta.replaced == (size_t)(&file - files.data())) return &delta;
    return nullptr;
}

std::string Files(const MakeReport& report, const char* title, const std::vector<PlannedFile>& files) {
    std::string text = std::string(title) + " (" + std::to_string(files.size()) + "):\n";
    if (files.empty()) text += "  none\n";
    for (const PlannedFile& file : files) {
        text += "  " + Utf8(file.path) + "  (" + Bytes(file.size) + ")";
        if (const DeltaFile* delta = DeltaOf(report, files, file)) text += "  as a delta, " + Utf8(delta->file);
        text += "\n";
    }
    return text;
}

json FileList(const MakeReport& report, const std::vector<PlannedFile>& files) {
    json list = json::array();
    for (const PlannedFile& file : files) {
        json entry = {{"path", Utf8(file.path)}, {"size", file.size}};
        if (&files == &report.plan.replaced) {
            const DeltaFile* delta = DeltaOf(report, files, file);
            entry["delta"] = delta ? json(Utf8(delta->file)) : json(nullptr);
        }
        list.push_back(entry);
    }
    return list;
}

// The warnings of what the patch leaves otherwise than NEW, beside those about
// its texts, its update.exe and the folders named.
bool IsDifference(const AuthorWarning& warning) {
    for (const char* kind : {"case-kept", "folder-upper-cased", "folder-stays", "delete-read-only"})
        if (warning.kind == kind) return true;
    return false;
}

std::string Percent(uint64_t part, uint64_t whole) {
    char text[32];
    snprintf(text, sizeof text, "%.2f%%", whole == 0 ? 0.0 : 100.0 * (double)part / (double)whole);
    return text;
}

// Which files travel as deltas and which candidates whole, or why none was tried.
std::string DeltasAsText(const MakeReport& report) {
    const DeltaResult& deltas = report.deltas;
    if (report.deltaMode == DeltaMode::Off) return "Deltas: none (--no-delta): every replaced file travels whole\n";
    if (!deltas.none.empty()) return "Deltas: none: " + deltas.none + "; every replaced file travels whole\n";
    if (deltas.deltas.empty() && deltas.whole.empty())
        return "Deltas: none: no replaced file but the engine executable has " + Bytes(DeltaMinimumSize) +
               " or more\n";
    std::string text = "Deltas, made by " + deltas.encoder + ", listed in deltas.txt (" +
                       std::to_string(deltas.deltas.size()) + "):\n";
    if (deltas.deltas.empty()) text += "  none\n";
    for (const DeltaFile& delta : deltas.deltas)
        text += "  " + Utf8(delta.path) + (delta.label.empty() ? "" : "  from " + Utf8(delta.label)) + "  " +
                Bytes(delta.deltaSize) + " for " + Bytes(delta.newSize) + " (" + Percent(delta.deltaSize, delta.newSize) +
                ")\n";
    if (!deltas.whole.empty()) {
        text += "Travel whole though a delta was tried (" + std::to_string(deltas.whole.size()) + "):\n";
        for (const DeltaFile& delta : deltas.whole)
            text += "  " + Utf8(delta.path) + "  (" + Bytes(delta.newSize) + "): " + delta.whole + "\n";
    }
    return text;
}

json DeltasAsJson(const MakeReport& report) {
    const DeltaResult& deltas = report.deltas;
    json made = json::array(), whole = json::array();
    for (const DeltaFile& delta : deltas.deltas)
        made.push_back({{"path", Utf8(delta.path)},
                        {"file", Utf8(delta.file)},
                        {"delta_size", delta.deltaSize},
                        {"old_size", delta.oldSize},
                        {"old_sha256", delta.oldHash},
                        {"new_size", delta.newSize},
                        {"new_sha256", delta.newHash},
                        {"versions", delta.label.empty() ? json(nullptr) : json(Utf8(delta.label))}});
    for (const DeltaFile& delta : deltas.whole)
        whole.push_back({{"path", Utf8(delta.path)}, {"size", delta.newSize},
                         {"delta_size", delta.deltaSize ? json(delta.deltaSize) : json(nullptr)},
                         {"reason", delta.whole}});
    const char* mode = report.deltaMode == DeltaMode::Off ? "off" : report.deltaMode == DeltaMode::Required ? "required" : "wanted";
    return {{"mode", mode},
            {"encoder", deltas.encoder.empty() ? json(nullptr) : json(deltas.encoder)},
            {"none", deltas.none.empty() ? json(nullptr) : json(deltas.none)},
            {"minimum_size", DeltaMinimumSize},
            {"made", made},
            {"whole", whole}};
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
    text += Files(report, "Added, listed under [AddFile]", report.plan.added);
    text += Files(report, "Replaced", report.plan.replaced);
    text += Files(report, "Deleted, listed under [DelFile]", report.plan.deleted);
    text += "Unchanged: " + std::to_string(report.plan.unchanged) + (report.plan.unchanged == 1 ? " file\n" : " files\n");
    for (auto [side, files] : {std::pair{"NEW", &report.excludedNew}, std::pair{"OLD", &report.excludedOld}}) {
        if (files->empty()) continue;
        text += "Left out of " + std::string(side) + " by --exclude (" + std::to_string(files->size()) + "):\n";
        for (const std::string& file : *files) text += "  " + Utf8(file) + "\n";
    }
    text += "\n" + DeltasAsText(report);
    const size_t deltaFiles = report.deltas.deltas.size();
    text += "\nThe patch: update.ini " + Bytes(report.descriptionBytes) + ", update\\ " +
            std::to_string(report.updateFiles) + (report.updateFiles == 1 ? " file " : " files ") +
            Bytes(report.updateBytes) +
            (deltaFiles == 0 ? std::string()
                             : ", deltas.txt " + Bytes(report.deltas.manifestBytes) + ", deltas\\ " +
                                   std::to_string(deltaFiles) + (deltaFiles == 1 ? " file " : " files ") +
                                   Bytes(report.deltas.deltaBytes)) +
            (report.alsoWholeFiles == 0 ? std::string()
                                        : ", whole\\ " + std::to_string(report.alsoWholeFiles) +
                                              (report.alsoWholeFiles == 1 ? " file " : " files ") +
                                              Bytes(report.alsoWholeBytes)) +
            ", update.exe " + Bytes(report.exeBytes) + ": " + Bytes(Total(report)) + " in all\n";
    if (report.alsoWholeFiles != 0)
        text += "--also-whole costs " + Bytes(report.alsoWholeBytes) + ": the files the deltas make, whole, for a "
                "player's file of another version or a damaged one\n";
    if (deltaFiles != 0)
        text += "Deltas save " + std::to_string(Saved(report)) + " bytes: with every file whole it would be " +
                Bytes(WholeTotal(report)) + " (this patch is " + Percent(Total(report), WholeTotal(report)) +
                " of that)\n";
    text += "\nWarnings:\n";
    if (report.plan.warnings.empty()) text += "  none\n";
    for (const AuthorWarning& warning : report.plan.warnings)
        text += "  " + warning.kind + "  " + (warning.path.empty() ? "" : Utf8(warning.path) + ": ") +
                Utf8(warning.message) + "\n";
    text += "\nThe proof: update.exe's own start-up, reader and update run on OLD with this patch, Start pressed once.\n"
            "Boxes, in order:\n";
    text += BoxesAsText(report.proof.check.boxes);
    const DeltaResult& deltas = report.deltas;
    if (!deltas.deltas.empty()) {
        text += "Deltas decoded by update.exe's own decoder from OLD's files: " +
                std::to_string(deltas.deltas.size() - deltas.rejected.size()) + " of " +
                std::to_string(deltas.deltas.size()) + " give NEW's file byte for byte\n";
    }
    for (const auto& [label, proven] : report.versionsProven)
        text += "On the old version " + Utf8(label) + ": " + (proven ? "proven" : "not proven") + "\n";
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
    document["added"] = FileList(report, report.plan.added);
    document["replaced"] = FileList(report, report.plan.replaced);
    document["deleted"] = FileList(report, report.plan.deleted);
    document["unchanged"] = report.plan.unchanged;
    document["excluded"] = {{"new", json::array()}, {"old", json::array()}};
    for (const std::string& file : report.excludedNew) document["excluded"]["new"].push_back(Utf8(file));
    for (const std::string& file : report.excludedOld) document["excluded"]["old"].push_back(Utf8(file));
    document["deltas"] = DeltasAsJson(report);
    document["size"] = {{"update_ini", report.descriptionBytes},
                        {"update_files", report.updateFiles},
                        {"update_bytes", report.updateBytes},
                        {"deltas_txt", report.deltas.manifestBytes},
                        {"delta_files", report.deltas.deltas.size()},
                        {"delta_bytes", report.deltas.deltaBytes},
                        {"also_whole_files", report.alsoWholeFiles},
                        {"also_whole_bytes", report.alsoWholeBytes},
                        {"update_exe", report.exeBytes},
                        {"total", Total(report)},
                        {"all_whole", WholeTotal(report)},
                        {"saved", Saved(report)}};
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
    document["versions"] = json::array();
    for (const auto& [label, proven] : report.versionsProven)
        document["versions"].push_back({{"name", Utf8(label)}, {"proven", proven}});
    document["proven"] = report.proof.proven;
    document["made"] = report.placed;
    document["result"] = ProofLine(report);
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
