#include <gtest/gtest.h>

#include <string>

#include "engine/des.h"

namespace tidemark {
namespace {

DesBlock Hex(const char* hex) {
    DesBlock block{};
    for (int i = 0; i < 8; ++i) block[i] = static_cast<std::uint8_t>(std::stoul(std::string(hex + 2 * i, 2), nullptr, 16));
    return block;
}

// Published known answers: the classic worked example, rows of the NIST SP 800-17 variable
// plaintext, variable key, permutation and substitution tables, and a key whose parity bits
// differ from another's (the cipher must ignore them).
TEST(Des, PublishedKnownAnswers) {
    const struct { const char* key; const char* plain; const char* cipher; } cases[] = {
        {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
        {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
        {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
        {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
        {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
        {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
        {"0101010101010180", "0000000000000000", "9CC62DF43B6EED74"},
        {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
        {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
        {"0F329332EB6C0C72", "8787878787878787", "0000000000000000"},  // same key, parity flipped
    };
    for (const auto& c : cases) {
        const Des des(Hex(c.key));
        EXPECT_EQ(des.Encrypt(Hex(c.plain)), Hex(c.cipher)) << c.key << " " << c.plain;
        EXPECT_EQ(des.Decrypt(Hex(c.cipher)), Hex(c.plain)) << c.key << " " << c.cipher;
    }
}

// The cipher-block-chaining example of FIPS 81, then back; a trailing partial block is neither
// enciphered nor deciphered.
TEST(Des, ChainingKnownAnswerAndPartialTail) {
    const Des des(Hex("0123456789ABCDEF"));
    const DesBlock iv = Hex("1234567890ABCDEF");
    std::string data = "Now is the time for all tail";
    des.EncryptCbc(reinterpret_cast<std::uint8_t*>(data.data()), data.size(), iv);
    const unsigned char expected[24] = {0xe5, 0xc7, 0xcd, 0xde, 0x87, 0x2b, 0xf2, 0x7c, 0x43, 0xe9, 0x34, 0x00,
                                        0x8c, 0x38, 0x9c, 0x0f, 0x68, 0x37, 0x88, 0x49, 0x9a, 0x7c, 0x05, 0xf6};
    EXPECT_EQ(data.substr(0, 24), std::string(reinterpret_cast<const char*>(expected), 24));
    EXPECT_EQ(data.substr(24), "tail");
    des.DecryptCbc(reinterpret_cast<std::uint8_t*>(data.data()), data.size(), iv);
    EXPECT_EQ(data, "Now is the time for all tail");
}

}  // namespace
}  // namespace tidemark
