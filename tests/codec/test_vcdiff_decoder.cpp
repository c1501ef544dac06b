// The delta decoder against the encoder the patch author uses (xdelta3, run on
// generated files), against deltas written by hand where the encoder cannot
// reach (a source offset above 4 GB, every opcode pairing, the refused
// features), and against damaged deltas, which must fail cleanly: under
// AddressSanitizer a read or write out of bounds stops the test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "codec/vcdiff_decoder.h"
#include "vcdiff_integer.h"

namespace {

typedef std::string Bytes;

// --- the decoder's inputs and output in memory, or the source in a file ---

struct DeltaFiles {
    const Bytes* source = nullptr;
    int sourceFile = -1;
    uint64_t sourceSize = 0;
    uint64_t targetLimit = UINT64_MAX;
    Bytes delta;
    Bytes target;
    int writes = 0;
    bool sourceFails = false, writeFails = false;
    bool readOutsideSource = false;
    // The bytes last given to WriteTarget and a copy of them: the decoder must
    // leave them alone until the next write or until it says it reuses them.
    const char* given = nullptr;
    Bytes givenCopy;
    bool givenChanged = false;
    int reuses = 0;
};

void CheckGivenBytes(DeltaFiles* files) {
    if (files->given && memcmp(files->given, files->givenCopy.data(), files->givenCopy.size()) != 0)
        files->givenChanged = true;
}

void TargetReused(void* context) {
    DeltaFiles* files = (DeltaFiles*)context;
    CheckGivenBytes(files);
    files->given = nullptr;
    ++files->reuses;
}

int ReadSource(void* context, uint64_t offset, void* buffer, size_t size) {
    DeltaFiles* files = (DeltaFiles*)context;
    if (offset > files->sourceSize || size > files->sourceSize - offset) {
        files->readOutsideSource = true;
        return 1;
    }
    if (files->sourceFails) return 1;
    if (files->sourceFile >= 0) return pread(files->sourceFile, buffer, size, (off_t)offset) == (ssize_t)size ? 0 : 1;
    memcpy(buffer, files->source->data() + offset, size);
    return 0;
}

int ReadDelta(void* context, uint64_t offset, void* buffer, size_t size, size_t* count) {
    DeltaFiles* files = (DeltaFiles*)context;
    *count = 0;
    if (offset >= files->delta.size()) return 0;
    // Short reads, as a file read may give them.
    size_t available = files->delta.size() - (size_t)offset;
    *count = size < available ? size : available;
    if (*count > 3000) *count -= 1000;
    memcpy(buffer, files->delta.data() + offset, *count);
    return 0;
}

int WriteTarget(void* context, const void* data, size_t size) {
    DeltaFiles* files = (DeltaFiles*)context;
    if (files->writeFails) return 1;
    CheckGivenBytes(files);
    files->given = (const char*)data;
    files->givenCopy.assign((const char*)data, size);
    files->target.append((const char*)data, size);
    ++files->writes;
    return 0;
}

struct Decoded {
    int status;
    DeltaProblem problem;
    uint64_t size;
};

Decoded Decode(DeltaFiles& files) {
    DeltaIo io = {&files, files.sourceSize, files.targetLimit, ReadSource, ReadDelta, WriteTarget, TargetReused};
    if (files.source != nullptr) io.sourceSize = files.sourceSize = files.source->size();
    Decoded result;
    result.size = 12345;
    result.problem = DeltaBadWindow;
    result.status = DecodeDelta(&io, &result.size, &result.problem);
    EXPECT_FALSE(files.readOutsideSource) << "the decoder asked for source bytes the source does not have";
    CheckGivenBytes(&files);
    EXPECT_FALSE(files.givenChanged) << "the decoder wrote into bytes it had given and not taken back";
    return result;
}

Decoded Decode(const Bytes& source, const Bytes& delta, Bytes* target = nullptr) {
    DeltaFiles files;
    files.source = &source;
    files.delta = delta;
    Decoded result = Decode(files);
    if (target != nullptr) *target = files.target;
    return result;
}

// --- generated files and the real encoder ---

Bytes RandomBytes(std::mt19937& random, size_t size) {
    Bytes bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4) {
        uint32_t value = (uint32_t)random();
        memcpy(&bytes[i], &value, size - i < 4 ? size - i : 4);
    }
    return bytes;
}

// Random words: text the encoder finds matches and runs in.
Bytes RandomText(std::mt19937& random, size_t size) {
    static const char* words[] = {"scene", "voice", "image ", "bgm", "\r\n", "    ", "select", "0000", "jump ", "flag"};
    Bytes text;
    while (text.size() < size) text += words[random() % 10];
    text.resize(size);
    return text;
}

struct Scratch {
    std::string folder;
    Scratch() {
        char name[] = "/tmp/vcdiff-test-XXXXXX";
        folder = mkdtemp(name);
    }
    ~Scratch() { EXPECT_EQ(0, system(("rm -rf '" + folder + "'").c_str())); }
    std::string Path(const char* name) const { return folder + "/" + name; }
};

void WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), file));
    fclose(file);
}

Bytes ReadFile(const std::string& path) {
    Bytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

// The delta xdelta3 makes from old to new, as update-make runs it.
Bytes Encode(const Bytes& oldBytes, const Bytes& newBytes, const char* flags = "-S none -A=") {
    Scratch scratch;
    WriteFile(scratch.Path("old"), oldBytes);
    WriteFile(scratch.Path("new"), newBytes);
    std::string command = std::string("xdelta3 -e -9 ") + flags + " -f -s '" + scratch.Path("old") + "' '" +
                          scratch.Path("new") + "' '" + scratch.Path("delta") + "'";
    EXPECT_EQ(0, system(command.c_str())) << "xdelta3 is needed (scripts/setup installs it): " << command;
    return ReadFile(scratch.Path("delta"));
}

// --- deltas written by hand ---

uint32_t Adler32(const Bytes& bytes) {
    uint32_t a = 1, b = 0;
    for (unsigned char c : bytes) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

struct HandWindow {
    unsigned indicator = 0x04;  // the checksum, no source
    uint64_t segmentLength = 0, segmentPosition = 0;
    Bytes target;               // what the window must make (its length and checksum)
    Bytes data, instructions, addresses;
    int checksumChange = 0;     // added to the checksum written
    int encodingLengthChange = 0;
    unsigned deltaIndicator = 0;
    uint64_t targetLength = UINT64_MAX;  // written instead of target's length when set
};

const char FileHeader[] = "\xD6\xC3\xC4\x00\x00";

Bytes WindowBytes(const HandWindow& w) {
    Bytes out(1, (char)w.indicator);
    if (w.indicator & 0x03) {
        PutInteger(&out, w.segmentLength);
        PutInteger(&out, w.segmentPosition);
    }
    Bytes encoding;
    PutInteger(&encoding, w.targetLength != UINT64_MAX ? w.targetLength : w.target.size());
    encoding.push_back((char)w.deltaIndicator);
    PutInteger(&encoding, w.data.size());
    PutInteger(&encoding, w.instructions.size());
    PutInteger(&encoding, w.addresses.size());
    if (w.indicator & 0x04) {
        uint32_t sum = Adler32(w.target) + w.checksumChange;
        for (int shift = 24; shift >= 0; shift -= 8) encoding.push_back((char)(sum >> shift));
    }
    encoding += w.data + w.instructions + w.addresses;
    PutInteger(&out, encoding.size() + w.encodingLengthChange);
    return out + encoding;
}

Bytes HandDelta(const std::vector<HandWindow>& windows) {
    Bytes out(FileHeader, 5);
    for (const HandWindow& w : windows) out += WindowBytes(w);
    return out;
}

// Opcodes of the default code table.
Bytes AddOp(unsigned size) { return Bytes(1, (char)(1 + size)); }                  // size 1..17
Bytes CopyOp(unsigned mode, unsigned size) { return Bytes(1, (char)(19 + 16 * mode + size - 3)); }  // size 4..18
Bytes Sized(unsigned opcode, uint64_t size) {
    Bytes out(1, (char)opcode);
    PutInteger(&out, size);
    return out;
}
Bytes RunOp(uint64_t size) { return Sized(0, size); }
Bytes AddSized(uint64_t size) { return Sized(1, size); }
Bytes CopySized(unsigned mode, uint64_t size) { return Sized(19 + 16 * mode, size); }
Bytes AddCopyOp(unsigned add, unsigned copy, unsigned mode) {
    return Bytes(1, (char)(mode < 6 ? 163 + 12 * mode + 3 * (add - 1) + (copy - 4) : 235 + 4 * (mode - 6) + (add - 1)));
}
Bytes CopyAddOp(unsigned mode) { return Bytes(1, (char)(247 + mode)); }
Bytes Integer(uint64_t value) {
    Bytes out;
    PutInteger(&out, value);
    return out;
}

// --- the cases ---

TEST(VcdiffDecoder, MakesTheNewFileFromXdelta3Deltas) {
    std::mt19937 random(20);
    Bytes text = RandomText(random, 200000), noise = RandomBytes(random, 200000);
    Bytes old = text + noise;

    Bytes edited = old;
    for (int i = 0; i < 40; ++i) edited[random() % edited.size()] ^= 0x5a;
    Bytes inserted = old;
    for (int i = 0; i < 10; ++i) inserted.insert(random() % inserted.size(), RandomBytes(random, 1 + random() % 3000));
    Bytes deleted = old;
    for (int i = 0; i < 10; ++i) deleted.erase(random() % (deleted.size() - 5000), 1 + random() % 5000);
    Bytes moved = noise.substr(150000) + text.substr(100000) + noise.substr(0, 150000) + text.substr(0, 100000);
    Bytes runs = text.substr(0, 1000) + Bytes(200000, '\0') + Bytes(70000, '\xff') + text.substr(1000, 5000);

    struct Case {
        const char* name;
        Bytes oldBytes, newBytes;
    } cases[] = {
        {"edits", old, edited},
        {"insertions", old, inserted},
        {"deletions", old, deleted},
        {"moved blocks", old, moved},
        {"runs and text from an empty source", "", runs},
        {"an empty target", old, ""},
        {"both empty", "", ""},
        {"a one-byte target", old, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes delta = Encode(c.oldBytes, c.newBytes);
        ASSERT_GE(delta.size(), 5u);
        Bytes target;
        Decoded decoded = Decode(c.oldBytes, delta, &target);
        ASSERT_EQ(0, decoded.status) << DeltaProblemName(decoded.problem);
        EXPECT_EQ(c.newBytes.size(), decoded.size);
        EXPECT_TRUE(target == c.newBytes);
    }
}

TEST(VcdiffDecoder, DecodesATargetOfSeveralWindows) {
    std::mt19937 random(16);
    Bytes old = RandomBytes(random, 18 << 20);
    Bytes updated = old.substr(0, 9 << 20) + RandomBytes(random, 50000) + old.substr(10 << 20);
    for (int i = 0; i < 20; ++i) updated[random() % updated.size()] ^= 1;
    updated += Bytes(1 << 20, '\x42');
    Bytes delta = Encode(old, updated);
    EXPECT_LT(delta.size(), 200000u);
    DeltaFiles files;
    files.source = &old;
    files.delta = delta;
    Decoded decoded = Decode(files);
    ASSERT_EQ(0, decoded.status) << DeltaProblemName(decoded.problem);
    EXPECT_GT(files.writes, 1) << "the encoder wrote one window only";
    EXPECT_EQ(updated.size(), decoded.size);
    EXPECT_TRUE(files.target == updated);

    // Windows above half the buffer between small ones: each large one, and
    // each small one after it, takes back what was given before it.
    std::vector<HandWindow> windows;
    for (size_t size : {9u << 20, 1000u, 2000u, 9u << 20, 3000u, 4000u}) {
        HandWindow w;
        w.target = Bytes(size, (char)('a' + windows.size()));
        w.instructions = RunOp(size);
        w.data = w.target.substr(0, 1);
        windows.push_back(w);
    }
    DeltaFiles hand;
    Bytes none;
    hand.source = &none;
    hand.delta = HandDelta(windows);
    decoded = Decode(hand);
    ASSERT_EQ(0, decoded.status) << DeltaProblemName(decoded.problem);
    EXPECT_EQ(6, hand.writes);
    EXPECT_EQ(3, hand.reuses);
}

// The encoder does not find a match 4.5 GB into a sparse source in useful
// time, so this delta is written by hand: a window whose source segment
// lies above 4 GB, copies from it and from the target itself.
TEST(VcdiffDecoder, ReadsASourceSegmentAbove4GB) {
    Scratch scratch;
    std::mt19937 random(4);
    const uint64_t blockAt = 4608ull << 20, sourceSize = 5ull << 30;
    Bytes block = RandomBytes(random, 1 << 20);
    int file = open(scratch.Path("old").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    ASSERT_EQ(0, ftruncate(file, (off_t)sourceSize));
    ASSERT_EQ((ssize_t)block.size(), pwrite(file, block.data(), block.size(), (off_t)blockAt));

    HandWindow w;
    w.indicator = 0x05;
    w.segmentPosition = blockAt - 100;  // 100 zeros, then the block
    w.segmentLength = block.size() + 100;
    w.target = block.substr(0, 700000) + "new!" + Bytes(100, '\0') + block.substr(800000) + block.substr(0, 5000);
    w.instructions = CopySized(0, 700000) + AddOp(4) + CopySized(0, 100) + CopySized(0, block.size() - 800000) +
                     CopySized(1, 5000);
    w.addresses = Integer(100) + Integer(0) + Integer(800100) + Integer(700004 + 100 + block.size() - 800000);
    w.data = "new!";
    DeltaFiles files;
    files.sourceFile = file;
    files.sourceSize = sourceSize;
    files.delta = HandDelta({w});
    Decoded decoded = Decode(files);
    close(file);
    ASSERT_EQ(0, decoded.status) << DeltaProblemName(decoded.problem);
    EXPECT_TRUE(files.target == w.target);
}

// Every kind of instruction and address the format has, checked against what
// it must make: the opcode pairs of the code table, the near and same address
// caches, a copy that runs from the source segment into the target, copies
// that overlap the bytes they make, an application header, several windows.
TEST(VcdiffDecoder, DecodesEveryInstructionKindWrittenByHand) {
    Bytes source = "0123456789abcdefghijklmnopqrstuvwxyz";
    HandWindow first;
    first.indicator = 0x05;
    first.segmentPosition = 10;
    first.segmentLength = 26;  // "abc...z"
    // ADD 2 + COPY 5 self: "XY" + "bcdef"; COPY 4 near[0]+2 + ADD 1: "defg" "Q"
    // RUN 6 of '-'; COPY 18 HERE 3 (overlapping): repeats "---"...
    // COPY 8 same (the address of the first copy): "bcdefghi"
    // COPY 30 from segment position 20 into the target: "uvwxyz" + "XYbcdefdefgQ------------------"[0..24)
    first.target = "XYbcdefdefgQ------" + Bytes(18, '-') + "bcdefghi" + "uvwxyz" + "XYbcdefdefgQ------------";
    first.instructions = AddCopyOp(2, 5, 0) + CopyAddOp(2) + RunOp(6) + CopyOp(1, 18) + CopyOp(6, 8) + CopySized(0, 30);
    first.data = "XYQ-";
    first.addresses = Integer(1) + Integer(2) + Integer(3) + Bytes(1, (char)1) + Integer(20);
    HandWindow second;  // no source; overlapping copy of period 1 from the target's first byte
    second.target = "z" + Bytes(40, 'z') + "yyyy";
    second.instructions = AddOp(1) + CopySized(0, 40) + AddSized(4);
    second.data = "zyyyy";
    second.addresses = Integer(0);
    Bytes delta(FileHeader, 5);
    delta[4] = 0x04;  // an application header, skipped
    delta += Integer(7) + "app=xyz";
    delta += WindowBytes(first) + WindowBytes(second);
    Bytes target;
    Decoded decoded = Decode(source, delta, &target);
    ASSERT_EQ(0, decoded.status) << DeltaProblemName(decoded.problem);
    EXPECT_EQ(first.target + second.target, target);

    // Each ADD+COPY and COPY+ADD opcode, in every mode whose address is the window start.
    for (unsigned mode = 0; mode < 9; ++mode) {
        for (unsigned add = 1; add <= 4; ++add) {
            for (unsigned copy = 4; copy <= (mode < 6 ? 6u : 4u); ++copy) {
                SCOPED_TRACE("ADD " + std::to_string(add) + " COPY " + std::to_string(copy) + " mode " + std::to_string(mode));
                HandWindow w;
                w.indicator = 0x05;
                w.segmentLength = 10;
                // A first COPY 4 at address 0 leaves 0 in every near slot and same slot 0.
                w.instructions = CopyOp(0, 4) + AddCopyOp(add, copy, mode) + CopyAddOp(mode);
                w.addresses = Integer(0) + (mode == 1 ? Integer(10 + 4 + add) : mode < 6 ? Integer(0) : Bytes(1, '\0'));
                w.addresses += mode == 1 ? Integer(10 + 4 + add + copy) : mode < 6 ? Integer(0) : Bytes(1, '\0');
                w.data = Bytes("ABCD", add) + "!";
                w.target = "0123" + Bytes("ABCD", add) + Bytes("0123456789", copy) + "0123!";
                Bytes made;
                Decoded d = Decode(source, HandDelta({w}), &made);
                ASSERT_EQ(0, d.status) << DeltaProblemName(d.problem);
                EXPECT_EQ(w.target, made);
            }
        }
    }
}

// A delta the encoder made, damaged at every length and every byte: each
// damaged delta fails with the problem it has, or (a change the format does
// not see) makes exactly the right file; none reads or writes out of bounds.
TEST(VcdiffDecoder, RefusesDamagedDeltasCleanly) {
    std::mt19937 random(7);
    Bytes old = RandomText(random, 20000) + RandomBytes(random, 3000);
    Bytes updated = old.substr(0, 5000) + "inserted" + old.substr(5100, 9000) + RandomBytes(random, 300) + old.substr(2000, 4000);
    Bytes delta = Encode(old, updated);
    ASSERT_GT(delta.size(), 100u);
    Bytes target;
    ASSERT_EQ(0, Decode(old, delta, &target).status);
    ASSERT_TRUE(target == updated);

    for (size_t length = 0; length < delta.size(); ++length) {
        SCOPED_TRACE("truncated to " + std::to_string(length));
        Decoded d = Decode(old, delta.substr(0, length), &target);
        if (length == 5) {  // the file header alone: a delta without windows
            EXPECT_EQ(0, d.status);
            EXPECT_EQ(0u, d.size);
        } else {
            EXPECT_EQ(1, d.status);
            EXPECT_EQ(DeltaTruncated, d.problem);
        }
    }
    int failures = 0;
    for (size_t at = 0; at < delta.size(); ++at) {
        for (unsigned char flip : {0x01, 0x80, 0xff}) {
            SCOPED_TRACE("byte " + std::to_string(at) + " xor " + std::to_string(flip));
            Bytes damaged = delta;
            damaged[at] ^= (char)flip;
            Decoded d = Decode(old, damaged, &target);
            if (d.status == 0) {
                EXPECT_TRUE(target == updated);
            } else {
                ++failures;
                EXPECT_NE(DeltaFine, d.problem);
            }
        }
    }
    EXPECT_GT(failures, (int)delta.size() * 2);

    // The same delta against a shorter source: its window lies past the source.
    EXPECT_EQ(DeltaBadWindow, Decode(old.substr(0, 10000), delta).problem);
    // The encoder's own secondary compression is refused.
    Bytes compressed = Encode(old, updated, "-S djw -A=");
    ASSERT_NE(0, compressed[4] & 0x01) << "the encoder did not mark secondary compression";
    EXPECT_EQ(DeltaUnsupported, Decode(old, compressed).problem);

    // Its application header (the file names, without -A=) is skipped.
    Bytes named = Encode(old, updated, "-S none");
    ASSERT_NE(0, named[4] & 0x04) << "the encoder wrote no application header";
    ASSERT_EQ(0, Decode(old, named, &target).status);
    EXPECT_TRUE(target == updated);

    // Failing reads and writes.
    DeltaFiles files;
    files.source = &old;
    files.delta = delta;
    files.sourceFails = true;
    EXPECT_EQ(DeltaSourceReadFailed, Decode(files).problem);
    files = DeltaFiles();
    files.source = &old;
    files.delta = delta;
    files.writeFails = true;
    EXPECT_EQ(DeltaWriteFailed, Decode(files).problem);
}

TEST(VcdiffDecoder, RefusesMalformedWindowsWrittenByHand) {
    Bytes source = "0123456789";
    HandWindow good;
    good.indicator = 0x05;
    good.segmentLength = 10;
    good.target = "23456789ab";
    good.instructions = CopyOp(0, 8) + AddOp(2);
    good.addresses = Integer(2);
    good.data = "ab";
    Bytes made;
    ASSERT_EQ(0, Decode(source, HandDelta({good}), &made).status);
    ASSERT_EQ(good.target, made);

    struct Case {
        const char* name;
        Bytes delta;
        DeltaProblem problem;
    };
    std::vector<Case> cases;
    auto with = [&](const char* name, DeltaProblem problem, auto change) {
        HandWindow w = good;
        change(w);
        cases.push_back({name, HandDelta({w}), problem});
    };
    Bytes header(FileHeader, 5);
    cases.push_back({"not VCDIFF", Bytes("\xD6\xC3\xC5\x00\x00", 5), DeltaNotVcdiff});
    cases.push_back({"another version", Bytes("\xD6\xC3\xC4\x01\x00", 5), DeltaNotVcdiff});
    cases.push_back({"secondary compression", Bytes("\xD6\xC3\xC4\x00\x01\x02", 6) + WindowBytes(good), DeltaUnsupported});
    cases.push_back({"an own code table", Bytes("\xD6\xC3\xC4\x00\x02\x00\x00", 7) + WindowBytes(good), DeltaUnsupported});
    cases.push_back({"an application header past the end", Bytes("\xD6\xC3\xC4\x00\x04\x20", 6) + "abc", DeltaTruncated});
    cases.push_back({"an unknown window bit", header + "\x08", DeltaUnsupported});
    with("a window copying from the target", DeltaUnsupported, [](HandWindow& w) { w.indicator = 0x06; });
    with("compressed sections", DeltaUnsupported, [](HandWindow& w) { w.deltaIndicator = 0x01; });
    with("a checksum that does not match", DeltaChecksumMismatch, [](HandWindow& w) { w.checksumChange = 1; });
    with("a segment past the source", DeltaBadWindow, [](HandWindow& w) { w.segmentPosition = 1; });
    with("a segment position near 2^64", DeltaBadWindow, [](HandWindow& w) { w.segmentPosition = UINT64_MAX - 5; });
    with("an encoding length too long", DeltaBadWindow, [](HandWindow& w) { w.encodingLengthChange = 1; });
    with("an encoding length too short", DeltaBadWindow, [](HandWindow& w) { w.encodingLengthChange = -1; });
    with("a target window above 16 MiB", DeltaTooLarge, [](HandWindow& w) { w.targetLength = (16 << 20) + 1; });
    with("a target window of 2^64-1", DeltaTooLarge, [](HandWindow& w) { w.targetLength = UINT64_MAX - 1; });
    with("a target window not filled", DeltaBadInstruction, [](HandWindow& w) { w.targetLength = 11; });
    with("an instruction past the target window", DeltaBadInstruction, [](HandWindow& w) { w.targetLength = 9; });
    with("data left over", DeltaBadInstruction, [](HandWindow& w) { w.data += "c"; });
    with("an address left over", DeltaBadInstruction, [](HandWindow& w) { w.addresses += Integer(0); });
    with("an ADD past its data", DeltaBadInstruction, [](HandWindow& w) { w.data = "a"; });
    with("a copy address at here", DeltaBadInstruction, [](HandWindow& w) { w.addresses = Integer(10); });
    with("a HERE address before the start", DeltaBadInstruction,
         [](HandWindow& w) { w.instructions = CopyOp(1, 8) + AddOp(2); w.addresses = Integer(11); });
    with("a near address overflowing", DeltaBadInstruction, [](HandWindow& w) {
        w.instructions = CopyOp(0, 4) + CopyOp(2, 4) + AddOp(2);
        w.addresses = Integer(2) + Integer(UINT64_MAX - 1);
    });
    with("a copy past its addresses", DeltaBadInstruction, [](HandWindow& w) { w.instructions = CopyOp(6, 8) + AddOp(2); w.addresses = ""; });
    with("a size of 2^64 (an integer of 11 digits)", DeltaBadInstruction, [](HandWindow& w) {
        w.instructions = Bytes(1, '\1') + Bytes(10, '\xff') + Bytes(1, '\x7f');
        w.addresses = "";
    });
    with("a huge RUN", DeltaBadInstruction, [](HandWindow& w) { w.instructions = RunOp(1ull << 40); });
    with("an instruction section ending inside an integer", DeltaBadInstruction, [](HandWindow& w) {
        w.instructions = CopyOp(0, 8) + AddOp(2) + Bytes(1, '\1') + Bytes(1, '\x81');
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = Decode(source, c.delta, &made);
        EXPECT_EQ(1, d.status);
        EXPECT_EQ(c.problem, d.problem) << DeltaProblemName(d.problem);
        EXPECT_TRUE(made.empty()) << "a window that fails is not written";
    }
}

// A copy must come from before the bytes it makes. One from the current
// position that copies nothing leaves the target right, so only the address
// check refuses it, in each mode that can name that position: by the address
// itself, as 0 back from here, and from a near address. (The same cache only
// holds addresses that were already behind.) One byte earlier is taken.
TEST(VcdiffDecoder, RefusesACopyFromWhereItWrites) {
    Bytes source = "0123456789";
    // COPY 8 from the segment's byte 2, an empty copy, ADD "ab": here is 18 at the empty copy.
    struct Case {
        const char* name;
        unsigned mode;
        uint64_t address;  // as the address section holds it
        bool taken;
    } cases[] = {
        {"at here by its address", 0, 18, false},
        {"0 back from here", 1, 0, false},
        {"near the first copy's address (2)", 2, 16, false},
        {"one before here by its address", 0, 17, true},
        {"1 back from here", 1, 1, true},
        {"one before here near the first copy's address", 2, 15, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandWindow w;
        w.indicator = 0x05;
        w.segmentLength = 10;
        w.target = "23456789ab";
        w.instructions = CopyOp(0, 8) + CopySized(c.mode, 0) + AddOp(2);
        w.addresses = Integer(2) + Integer(c.address);
        w.data = "ab";
        Bytes made;
        Decoded d = Decode(source, HandDelta({w}), &made);
        if (c.taken) {
            ASSERT_EQ(0, d.status) << DeltaProblemName(d.problem);
            EXPECT_EQ(w.target, made);
        } else {
            EXPECT_EQ(1, d.status);
            EXPECT_EQ(DeltaBadInstruction, d.problem) << DeltaProblemName(d.problem);
            EXPECT_TRUE(made.empty());
        }
    }
}

}  // namespace
