// The encodings run as a second process, on the second core, while this one
// hashes the two versions of the same file.
#include "author_tools/update_make/delta_maker.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "author_tools/update_make/delta_files.h"
#include "author_tools/update_make/old_versions.h"
#include "author_tools/host/local_files.h"
#include "author_tools/host/text_conversion.h"
#include "text/text.h"
#include "codec/sha256.h"
#include "update/game_folder.h"
#include "update/update_run.h"
#include "codec/vcdiff_decoder.h"
#include "platform/memory/platform_memory.h"

std::function<void(const std::string&)> DeltaEncodedHook;

namespace mp = memory_platform;

namespace {

const size_t ChunkSize = 1 << 20;

std::string Utf8(const std::string& shiftJis) { return ShiftJisToUtf8(shiftJis); }

int HashFile(const std::string& path, std::vector<char>* buffer, std::string* hex, std::string* problem) {
    LocalReader reader;
    if (reader.Open(path, problem) != 0) return 1;
    Sha256State state;
    Sha256Begin(&state);
    for (uint64_t offset = 0;;) {
        size_t count = 0;
        if (reader.ReadAt(offset, buffer->data(), buffer->size(), &count, problem) != 0) return 1;
        if (count == 0) break;
        Sha256Add(&state, buffer->data(), count);
        offset += count;
        if (Interrupted()) return *problem = "interrupted", 1;
    }
    unsigned char digest[32];
    char text[65];
    Sha256Finish(&state, digest);
    Sha256ToHex(digest, text);
    *hex = text;
    return 0;
}

// The decoder's target compared with NEW's file as it comes, never held whole.
struct Verification {
    LocalReader source, delta, expected;
    std::vector<char> buffer = std::vector<char>(ChunkSize);
    uint64_t compared = 0;
    bool differs = false;
    std::string problem;
};

int ReadSource(void* context, uint64_t offset, void* buffer, size_t size) {
    auto* check = (Verification*)context;
    size_t count = 0;
    return check->source.ReadAt(offset, buffer, size, &count, &check->problem) != 0 || count != size;
}

int ReadDelta(void* context, uint64_t offset, void* buffer, size_t size, size_t* count) {
    auto* check = (Verification*)context;
    return check->delta.ReadAt(offset, buffer, size, count, &check->problem);
}

int CompareTarget(void* context, const void* data, size_t size) {
    auto* check = (Verification*)context;
    const char* bytes = (const char*)data;
    while (size > 0) {
        size_t chunk = std::min(size, check->buffer.size()), count = 0;
        if (check->expected.ReadAt(check->compared, check->buffer.data(), chunk, &count, &check->problem) != 0) return 1;
        size_t same = count == chunk && memcmp(bytes, check->buffer.data(), chunk) == 0 ? chunk : 0;
        while (same < count && bytes[same] == check->buffer[same]) ++same;
        if (same < chunk) {
            check->compared += same;
            check->differs = true;
            return 1;
        }
        check->compared += chunk;
        bytes += chunk;
        size -= chunk;
    }
    return 0;
}

// "" when the delta decoded from OLD's file gives NEW's byte for byte; else what went wrong.
std::string Verify(const std::string& oldPath, const std::string& deltaPath, const std::string& newPath) {
    Verification check;
    std::string problem;
    if (check.source.Open(oldPath, &problem) != 0 || check.delta.Open(deltaPath, &problem) != 0 ||
        check.expected.Open(newPath, &problem) != 0)
        return problem;
    DeltaIo io = {&check, check.source.Size(), UINT64_MAX, ReadSource, ReadDelta, CompareTarget, nullptr};
    uint64_t targetSize = 0;
    DeltaProblem decoded = DeltaFine;
    int status = DecodeDelta(&io, &targetSize, &decoded);
    if (check.differs) return "its result differs from NEW's file from byte " + std::to_string(check.compared);
    if (!check.problem.empty()) return check.problem;
    if (status != 0) return std::string("update.exe's decoder refuses it: ") + DeltaProblemName(decoded);
    if (targetSize != check.expected.Size())
        return "its result has " + std::to_string(targetSize) + " bytes, NEW's file " +
               std::to_string(check.expected.Size());
    return "";
}

// xdelta3 clears its whole source window before it starts (64 MiB unless told):
// a window the size of OLD's file, within its limits, makes the same delta of a
// small file twenty times sooner.
uint64_t SourceWindow(uint64_t oldSize) {
    uint64_t window = 1 << 19;
    while (window < oldSize && window < (64u << 20)) window <<= 1;
    return window;
}

std::string Numbered(size_t number) {
    char name[32];
    snprintf(name, sizeof name, "%04zu.vcdiff", number);
    return name;
}

std::string Manifest(const std::vector<DeltaFile>& deltas) {
    // The versions' names only in a patch of several versions: one made from one
    // reads as before.
    std::string text = "# game file\told size\told SHA-256\tnew size\tnew SHA-256\tdelta file" +
                       std::string(deltas[0].label.empty() ? "" : "\tversions") + "\r\n";
    for (const DeltaFile& delta : deltas)
        text += delta.path + "\t" + std::to_string(delta.oldSize) + "\t" + delta.oldHash + "\t" +
                std::to_string(delta.newSize) + "\t" + delta.newHash + "\t" + delta.file +
                (delta.label.empty() ? "" : "\t" + delta.label) + "\r\n";
    return text;
}

}  // namespace

bool DeltaResult::Uses(size_t replaced) const {
    for (const DeltaFile& delta : deltas)
        if (delta.replaced == replaced) return true;
    return false;
}

bool DeltaResult::SameLinesAs(const DeltaResult& other) const {
    auto same = [](const std::vector<DeltaFile>& x, const std::vector<DeltaFile>& y) {
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i)
            if (x[i].replaced != y[i].replaced || x[i].file != y[i].file || x[i].oldHash != y[i].oldHash ||
                x[i].newHash != y[i].newHash)
                return false;
        return true;
    };
    return same(deltas, other.deltas) && same(whole, other.whole);
}

bool DeltaCandidate(const PlannedFile& file) {
    if (file.size < DeltaMinimumSize) return false;
    for (const char* engine : EngineExecutables)
        if (EqualIgnoringAsciiCase(file.path.c_str(), engine)) return false;
    return true;
}

namespace {

bool ByPlan(const DeltaFile& a, const DeltaFile& b) { return a.replaced < b.replaced; }

// The deltas in the plan's order, each named as the patch will hold it
// ("deltas\0001.vcdiff"); readFrom gets the file each is in now.
std::vector<DeltaFile> InPlanOrder(std::vector<DeltaFile> deltas, std::vector<std::string>* readFrom) {
    std::stable_sort(deltas.begin(), deltas.end(), ByPlan);
    for (size_t n = 0; n < deltas.size(); ++n) {
        readFrom->push_back(deltas[n].file);
        deltas[n].file = "deltas\\" + Numbered(n + 1);
    }
    return deltas;
}

// Calls overlap->ended once, whichever way the last encoding ends.
struct OverlapEnd {
    WhileLastEncodes* overlap = nullptr;
    void operator()(bool complete) {
        if (overlap) overlap->ended(complete);
        overlap = nullptr;
    }
    ~OverlapEnd() { (*this)(false); }
};

}  // namespace

int MakeDeltas(const PatchPlan& plan, const std::vector<OldVersionFiles>& olds, const FolderRead& newRead,
               const std::string& newFolder, const std::string& patch, DeltaResult* result, std::string* problem,
               WhileLastEncodes* overlap) {
    std::vector<size_t> order;
    for (size_t i = 0; i < plan.replaced.size(); ++i)
        if (DeltaCandidate(plan.replaced[i])) order.push_back(i);
    if (order.empty()) return 0;
    // The largest first: the 256 deltas a patch may hold go where they save most.
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return plan.replaced[a].size > plan.replaced[b].size; });
    const std::string folder = patch + "/deltas";
    if (MakeLocalFolder(folder, problem) != 0) return 1;
    // The later versions' files by their folded names.
    std::vector<std::map<std::string, size_t>> byName(olds.size());
    for (size_t v = 1; v < olds.size(); ++v)
        for (size_t k = 0; k < olds[v].read->entries.size(); ++k)
            if (!olds[v].read->entries[k].directory) byName[v][mp::FoldedName(olds[v].read->entries[k].relativePath)] = k;
    auto oldPath = [&](size_t v, size_t k) { return LocalPath(olds[v].folder, olds[v].read->entries[k].relativePath); };
    size_t encodings = 0;
    auto encoded = [&](size_t n) { return folder + "/encoding-" + std::to_string(n) + ".vcdiff"; };

    std::vector<DeltaFile> kept, whole;
    std::vector<char> buffer(ChunkSize);
    // The last encoding, which the overlap runs beside: one old version, and
    // no more candidates than the patch may hold.
    size_t last = SIZE_MAX;
    // (A test that damages a delta once it is encoded wants it decoded after.)
    if (overlap && olds.size() == 1 && order.size() <= DeltaCountLimit && !DeltaEncodedHook)
        for (size_t i : order)
            if (!FirstHasNew(plan, plan.replaced[i])) last = i;
    OverlapEnd overlapEnd;
    for (size_t i : order) {
        const PlannedFile& file = plan.replaced[i];
        const std::string newPath = LocalPath(newFolder, newRead.entries[file.source].relativePath);
        DeltaFile base;
        base.replaced = i;
        base.path = file.path;
        base.newSize = file.size;
        auto travelWhole = [&](const std::string& why) {
            base.whole = why;
            whole.push_back(base);
        };
        // Each version's file, or why the file travels whole.
        std::vector<std::pair<size_t, size_t>> files{{0, file.oldSource}};
        std::string lacking;
        for (size_t v = 1; v < olds.size() && lacking.empty(); ++v) {
            auto found = byName[v].find(mp::FoldedName(file.path));
            if (found == byName[v].end()) lacking = ShiftJisToUtf8(olds[v].label);
            else files.push_back({v, found->second});
        }
        if (!lacking.empty()) {
            travelWhole("the old version " + lacking + " does not have it");
            continue;
        }
        // One delta per old content but NEW's. With one version the hashes are
        // taken while the encoder runs; with more, each later file is hashed
        // first, to know whether its content was met before.
        std::vector<DeltaFile> lines;
        std::string failed;
        for (const auto& [v, k] : files) {
            if (v == 0 && FirstHasNew(plan, file)) continue;
            DeltaFile* line = nullptr;
            std::string hash;
            uint64_t size = olds[v].read->entries[k].size;
            if (v > 0) {
                if (HashFile(oldPath(v, k), &buffer, &hash, problem) != 0) return 1;
                if (base.newHash.empty() && HashFile(newPath, &buffer, &base.newHash, problem) != 0) return 1;
                if (size == file.size && hash == base.newHash) continue;  // already new: left alone
                for (DeltaFile& earlier : lines)
                    if (earlier.oldSize == size && earlier.oldHash == hash) line = &earlier;
            }
            if (line) {
                line->from.push_back({v, k});
                continue;
            }
            if (kept.size() + lines.size() >= DeltaCountLimit) {
                failed = "a patch holds at most " + std::to_string(DeltaCountLimit) + " deltas";
                break;
            }
            DeltaFile made = base;
            made.from = {{v, k}};
            made.oldSize = size;
            made.oldHash = hash;
            made.oldLocal = oldPath(v, k);
            made.newLocal = newPath;
            made.file = encoded(encodings++);
            EncodingProcess process;
            if (StartEncoding(result->encoder, SourceWindow(size), made.oldLocal, newPath, made.file, &process, problem) != 0)
                return 1;
            std::string hashProblem;
            int hashed = (made.oldHash.empty() && HashFile(made.oldLocal, &buffer, &made.oldHash, &hashProblem) != 0) ||
                         (base.newHash.empty() && HashFile(newPath, &buffer, &base.newHash, &hashProblem) != 0);
            made.newHash = base.newHash;
            if (i == last && hashed == 0 && !Interrupted()) {
                DeltaResult expected;
                expected.encoder = result->encoder;
                std::vector<std::string> readFrom;
                std::vector<DeltaFile> all = kept;
                all.push_back(made);
                expected.deltas = InPlanOrder(all, &readFrom);
                expected.whole = whole;
                std::stable_sort(expected.whole.begin(), expected.whole.end(), ByPlan);
                // The encoder runs: a manifest that cannot be written leaves the proof for after it.
                std::string unwritten;
                if (WriteLocalFile(patch + "/deltas.txt", Manifest(expected.deltas), &unwritten) == 0) {
                    overlapEnd.overlap = overlap;
                    overlap->started(expected, readFrom, made.file);
                }
            }
            int finished = FinishEncoding(&process, problem);
            overlapEnd(finished == 0 && hashed == 0 && !Interrupted());
            if (finished != 0) {
                *problem = Utf8(file.path) + ": " + *problem;
                return 1;
            }
            if (hashed != 0) return *problem = hashProblem, 1;
            if (Interrupted()) return *problem = "interrupted", 1;
            made.deltaSize = LocalFileSize(made.file);
            lines.push_back(made);
            if (made.deltaSize > file.size / 2) {
                failed = "its delta of " + std::to_string(made.deltaSize) + " bytes is more than half the file";
                break;
            }
            if (DeltaEncodedHook) DeltaEncodedHook(made.file);
        }
        if (!failed.empty()) {
            for (const DeltaFile& line : lines) RemoveLocalTree(line.file);
            base.oldSize = lines.empty() ? 0 : lines[0].oldSize;
            travelWhole(failed);
            continue;
        }
        for (DeltaFile& line : lines) {
            if (olds.size() > 1)
                for (const auto& [v, k] : line.from) line.label += (line.label.empty() ? "" : ", ") + olds[v].label;
            kept.push_back(line);
        }
    }

    // Numbered in the plan's order, as the manifest lists them.
    std::vector<std::string> readFrom;
    kept = InPlanOrder(kept, &readFrom);
    std::stable_sort(whole.begin(), whole.end(), ByPlan);
    for (size_t n = 0; n < kept.size(); ++n) {
        if (RenameLocalFile(readFrom[n], folder + "/" + Numbered(n + 1), problem) != 0) return 1;
        result->deltaBytes += kept[n].deltaSize;
    }
    result->deltas = kept;
    result->whole = whole;
    if (kept.empty()) {
        RemoveLocalTree(folder);
        RemoveLocalTree(patch + "/deltas.txt");  // as written for the last delta's overlap
        return 0;
    }
    std::string manifest = Manifest(kept);
    result->manifestBytes = manifest.size();
    RemoveLocalTree(patch + "/deltas.txt");  // as written for the last delta's overlap
    return WriteLocalFile(patch + "/deltas.txt", manifest, problem);
}

void FindRejectedDeltas(const std::string& patch, DeltaResult* result) {
    for (const DeltaFile& delta : result->deltas) {
        std::string wrong = Verify(delta.oldLocal, LocalPath(patch, delta.file), delta.newLocal);
        if (!wrong.empty())
            result->rejected.push_back(
                ProofDifference{delta.path, "its delta, decoded by update.exe's decoder from OLD's file: " + wrong});
    }
}
