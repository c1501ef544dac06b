// SHA-256 against the standard's test vectors and against sha256sum, in both
// implementations (the processor's SHA instructions where this machine has
// them, and the portable code), whatever way the data is split.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <random>
#include <string>

#include "codec/sha256.h"
#include "sha256_in_pieces.h"

namespace {


struct BothImplementations : ::testing::TestWithParam<bool> {
    void SetUp() override { Sha256ForcePortable(GetParam()); }
    void TearDown() override { Sha256ForcePortable(false); }
};

TEST_P(BothImplementations, HashTheStandardVectorsAtAnySplit) {
    if (GetParam()) {
        EXPECT_STREQ("portable", Sha256Implementation());
    }
    struct Vector {
        std::string message, digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.message.substr(0, 20));
        EXPECT_EQ(v.digest, Sha256InPieces(v.message));
        // Pieces that straddle the 64-byte blocks and the 56-byte padding limit.
        for (size_t piece : {1, 3, 55, 56, 63, 64, 65, 127, 4096})
            if (v.message.size() <= 1000 || piece >= 63) {
                EXPECT_EQ(v.digest, Sha256InPieces(v.message, piece)) << piece;
            }
    }
    // Every length around the block and padding boundaries, in one piece and
    // byte by byte, against the other implementation.
    for (size_t length = 0; length <= 130; ++length) {
        std::string message(length, 'x');
        Sha256ForcePortable(!GetParam());
        std::string other = Sha256InPieces(message);
        Sha256ForcePortable(GetParam());
        EXPECT_EQ(other, Sha256InPieces(message)) << length;
        EXPECT_EQ(other, Sha256InPieces(message, 1)) << length;
    }
}

// Every length from 0 to 130 bytes (byte i of each message is i), against
// digests Python's hashlib gave. The lengths around the padding's limit (55
// bytes and the 0x80 fill a block's 56 before the bit count; 56 need another
// block) and the block ends are listed one by one; every length is in the
// digest of all 131 digests' hex, one after another.
TEST_P(BothImplementations, HashEveryLengthUpTo130AsHashlibDoes) {
    SCOPED_TRACE(Sha256Implementation());
    auto message = [](size_t length) {
        std::string bytes(length, '\0');
        for (size_t i = 0; i < length; ++i) bytes[i] = (char)i;
        return bytes;
    };
    struct Known {
        size_t length;
        const char* digest;
    } known[] = {
        {0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {1, "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
        {55, "463eb28e72f82e0a96c0a4cc53690c571281131f672aa229e0d45ae59b598b59"},
        {56, "da2ae4d6b36748f2a318f23e7ab1dfdf45acdc9d049bd80e59de82a60895f562"},
        {57, "2fe741af801cc238602ac0ec6a7b0c3a8a87c7fc7d7f02a3fe03d1c12eac4d8f"},
        {63, "29af2686fd53374a36b0846694cc342177e428d1647515f078784d69cdb9e488"},
        {64, "fdeab9acf3710362bd2658cdc9a29e8f9c757fcf9811603a8c447cd1d9151108"},
        {65, "4bfd2c8b6f1eec7a2afeb48b934ee4b2694182027e6d0fc075074f2fabb31781"},
        {119, "da18797ed7c3a777f0847f429724a2d8cd5138e6ed2895c3fa1a6d39d18f7ec6"},
        {120, "f52b23db1fbb6ded89ef42a23ce0c8922c45f25c50b568a93bf1c075420bbb7c"},
        {127, "92ca0fa6651ee2f97b884b7246a562fa71250fedefe5ebf270d31c546bfea976"},
        {128, "471fb943aa23c511f6f72f8d1652d9c880cfa392ad80503120547703e56a2be5"},
    };
    for (const Known& k : known) {
        EXPECT_EQ(k.digest, Sha256InPieces(message(k.length))) << k.length;
        EXPECT_EQ(k.digest, Sha256InPieces(message(k.length), 1)) << k.length << " byte by byte";
    }
    std::string whole, byteByByte;
    for (size_t length = 0; length <= 130; ++length) {
        whole += Sha256InPieces(message(length));
        byteByByte += Sha256InPieces(message(length), 1);
    }
    const char* const all = "287ec38b0ef48cad9a69255fec0a3dd90bd752a394316d26a81b6c9b71e29a55";
    EXPECT_EQ(all, Sha256InPieces(whole));
    EXPECT_EQ(all, Sha256InPieces(byteByByte));
}

INSTANTIATE_TEST_SUITE_P(Sha256, BothImplementations, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Portable" : "Chosen"; });

TEST(Sha256, AgreesWithSha256sumOnRandomData) {
    std::mt19937 random(256);
    std::string data(3 * 1000 * 1000 + 17, '\0');
    for (char& c : data) c = (char)random();
    char path[] = "/tmp/sha256-test-XXXXXX";
    int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ((ssize_t)data.size(), write(file, data.data(), data.size()));
    close(file);
    std::string expected;
    FILE* pipe = popen((std::string("sha256sum '") + path + "'").c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    char line[200] = "";
    if (fgets(line, sizeof line, pipe) != nullptr) expected.assign(line, 64);
    pclose(pipe);
    unlink(path);
    ASSERT_EQ(64u, expected.size());

    std::string chosen = Sha256InPieces(data, 100003);
    Sha256ForcePortable(true);
    std::string portable = Sha256InPieces(data, 7777);
    Sha256ForcePortable(false);
    EXPECT_EQ(expected, chosen) << Sha256Implementation();
    EXPECT_EQ(expected, portable);
}

TEST(Sha256, ReadsAndWritesHexDigests) {
    unsigned char digest[32];
    const char* upper = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";
    ASSERT_EQ(0, Sha256FromHex(upper, 64, digest));
    char text[65];
    Sha256ToHex(digest, text);
    EXPECT_STREQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", text);
    EXPECT_EQ(1, Sha256FromHex(upper, 63, digest));
    EXPECT_EQ(1, Sha256FromHex((std::string(upper) + "0").c_str(), 65, digest));
    std::string bad = upper;
    for (char c : {'g', 'G', ' ', '\0', '/', ':', '@', '`'}) {
        bad[10] = c;
        EXPECT_EQ(1, Sha256FromHex(bad.data(), 64, digest)) << c;
    }
}

}  // namespace
