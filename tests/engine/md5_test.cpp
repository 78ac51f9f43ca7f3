#include <gtest/gtest.h>

#include <string>

#include "engine/md5.h"

namespace tidemark {
namespace {

TEST(Md5, TheTestSuiteOfTheRfc) {
    const struct { std::string text; const char* digest; } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(Md5HexOf(c.text.data(), c.text.size()), c.digest) << c.text;
}

TEST(Md5, PiecesGiveTheSameDigestAsTheWhole) {
    std::string text(1000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
    for (std::size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 999u}) {
        Md5 md5;
        for (std::size_t at = 0; at < text.size(); at += piece) md5.Update(text.data() + at, std::min(piece, text.size() - at));
        EXPECT_EQ(Md5Hex(md5.Final()), Md5HexOf(text.data(), text.size())) << piece;
    }
}

}  // namespace
}  // namespace tidemark
