#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "filelist/Md5.h"
#include "tests/support/TestSupport.h"

namespace ornivel {
namespace {

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(md5HexOfText(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5HexOfText(L"a"), L"0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5HexOfText(L"abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5HexOfText(L"message digest"), L"f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5HexOfText(L"abcdefghijklmnopqrstuvwxyz"), L"c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5HexOfText(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              L"d174ab98d277d9f5a5611c2c9f419d9f");
    std::wstring digits;
    for (int i = 0; i < 8; ++i) digits += L"1234567890";
    EXPECT_EQ(md5HexOfText(digits), L"57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, ByteStringConstructionDigestsUpToTheTerminator) {
    MD5 digest(reinterpret_cast<const unsigned char*>("abc"));
    EXPECT_EQ(digest.hex_digest(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, UpdatesInPiecesOfEveryLengthAgreeWithOneUpdate) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7 + 3);
    const std::string whole = md5HexOfBytes(data);
    for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u, 999u}) {
        MD5 digest;
        for (size_t at = 0; at < data.size(); at += piece)
            digest.update(reinterpret_cast<const unsigned char*>(data.data() + at), std::min(piece, data.size() - at));
        digest.finalize();
        EXPECT_EQ(digest.hex_digest(), whole) << "piece " << piece;
    }
    // Lengths around the padding boundary (55/56/64 bytes) with known digests (md5sum).
    EXPECT_EQ(md5HexOfBytes(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(md5HexOfBytes(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(md5HexOfBytes(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

TEST(Md5, TextIsDigestedAsUtf8WhateverItsLength) {
    // "Grüße €" as UTF-8 bytes, not as UTF-16 units (cfb34560...).
    EXPECT_EQ(md5HexOfText(L"Gr\u00fc\u00dfe \u20ac"), L"c2d9cb867a8247ec486e7cb3d510fd7a");
    // 4,003 UTF-8 bytes: digested whole, not cut at 1,024.
    EXPECT_EQ(md5HexOfText(std::wstring(2000, L'\u00fc') + L"end"), L"ccfef6e09b45b06e363e5f81640209e7");
    // The text ends at its first zero character.
    EXPECT_EQ(md5HexOfText(std::wstring(L"abc\0def", 7)), L"900150983cd24fb0d6963f7d28e17f72");
}

class Md5File : public ::testing::Test {
protected:
    FILE* openWith(const std::string& bytes) {
        folder.write(L"data.bin", bytes);
        return _wfopen((folder / L"data.bin").c_str(), L"rb");
    }
    test::TempFolder folder{L"md5"};
};

std::string bytes0to255Times4() {
    std::string bytes;
    for (int r = 0; r < 4; ++r)
        for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

TEST_F(Md5File, BlockSizedFileAndOneByteMore) {
    const std::string block = bytes0to255Times4();
    ASSERT_EQ(block.size(), MD5::kFileBlockSize);
    EXPECT_EQ(md5HexOfFile(openWith(block)), "b2ea9f7fcea831a4a63b213f41a8855b");
    EXPECT_EQ(md5HexOfFile(openWith(block + "X")), "2b0ae42049a757c85809418865d7c10c");
    EXPECT_EQ(md5HexOfFile(openWith("")), "d41d8cd98f00b204e9800998ecf8427e");
    // Zero bytes inside a file are data like any other.
    EXPECT_EQ(md5HexOfFile(openWith(std::string("abc\0", 4))), md5HexOfBytes(std::string("abc\0", 4)));
}

TEST_F(Md5File, FileIsClosedByTheDigest) {
    FILE* file = openWith("abc");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(md5HexOfFile(file), "900150983cd24fb0d6963f7d28e17f72");
    // Closed: the file can be deleted now (an open handle would prevent that on Windows).
    EXPECT_TRUE(DeleteFileW((folder / L"data.bin").c_str()));
    EXPECT_EQ(md5HexOfFile(nullptr), "");
}

TEST(Md5, MisuseIsReportedAndChangesNothing) {
    MD5 digest;
    testing::internal::CaptureStderr();
    EXPECT_EQ(digest.hex_digest(), "");
    digest.update(reinterpret_cast<const unsigned char*>("abc"), 3);
    digest.finalize();
    const std::string first = digest.hex_digest();
    digest.update(reinterpret_cast<const unsigned char*>("more"), 4);
    digest.finalize();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digest.hex_digest(), first);  // twice, and unchanged by the misuse
    EXPECT_NE(errors.find("MD5::hex_digest:  Can't get digest if you haven't finalized the digest!"), std::string::npos);
    EXPECT_NE(errors.find("MD5::update:  Can't update a finalized digest!"), std::string::npos);
    EXPECT_NE(errors.find("MD5::finalize:  Already finalized this digest!"), std::string::npos);
}

} // namespace
} // namespace ornivel
