// Hexadecimal text: numbers, byte pairs into Pages and Blocks, bytes to text,
// and the data-byte encoding of the loader.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_helpers.h"
#include "uSER_KV.h"

namespace {

using test_helpers::Bytes;
using test_helpers::concat;

// An erased area of `size` bytes filled from `text`.
Bytes filled_area(const std::string& text, int size) {
    Bytes area(static_cast<size_t>(size), 0xFF);
    HEX_PARA_BYTES(text, area.data(), size);
    return area;
}

Bytes erased(size_t n) { return Bytes(n, 0xFF); }

// --- HEX_PARA_INT -------------------------------------------------------------

TEST(HexParaInt, ReadsUpperCaseDigitsHighFirst) {
    EXPECT_EQ(HEX_PARA_INT("8C00"), 0x8C00);
    EXPECT_EQ(HEX_PARA_INT("0000"), 0);
    EXPECT_EQ(HEX_PARA_INT("FFFF"), 65535);
    EXPECT_EQ(HEX_PARA_INT("0123456789ABCDEF"), 0x0123456789ABCDEF);
}

TEST(HexParaInt, SkipsEveryOtherCharacterLowerCaseIncluded) {
    EXPECT_EQ(HEX_PARA_INT("B6 00"), 0xB600);
    EXPECT_EQ(HEX_PARA_INT("8c00"), 0x800);
    EXPECT_EQ(HEX_PARA_INT("G1"), 1);
    EXPECT_EQ(HEX_PARA_INT("abcdef"), 0);
    EXPECT_EQ(HEX_PARA_INT(std::string("1\0" "2", 3)), 0x12);
}

TEST(HexParaInt, TextWithoutDigitsGivesZero) {
    EXPECT_EQ(HEX_PARA_INT(""), 0);
    EXPECT_EQ(HEX_PARA_INT("zz"), 0);
}

TEST(HexParaInt, FifteenDigitsAreExact) {
    EXPECT_EQ(HEX_PARA_INT("FFFFFFFFFFFFFFF"), 0x0FFFFFFFFFFFFFFF);
}

// --- HEX_PARA_BYTES -----------------------------------------------------------

TEST(HexParaBytes, PairsBecomeBytesFromTheStart) {
    EXPECT_EQ(filled_area("0A1B", 128), concat({0x0A, 0x1B}, erased(126)));
    EXPECT_EQ(filled_area("5A", 128), concat({0x5A}, erased(127)));
}

TEST(HexParaBytes, OddTextEndsWithASingleDigitByte) {
    EXPECT_EQ(filled_area("ABC", 128), concat({0xAB, 0x0C}, erased(126)));
}

TEST(HexParaBytes, PairsWithoutDigitsGiveZero) {
    EXPECT_EQ(filled_area("zz", 128), concat({0x00}, erased(127)));
    EXPECT_EQ(filled_area("a1", 128), concat({0x01}, erased(127)));
}

TEST(HexParaBytes, EmptyTextStillWritesByteZero) {
    EXPECT_EQ(filled_area("", 128), concat({0x00}, erased(127)));
}

TEST(HexParaBytes, FullTextsFillAPageAndABlockExactly) {
    std::string page, block;
    Bytes expected_page, expected_block;
    for (int i = 0; i < 256; ++i) {
        const uint8_t b = static_cast<uint8_t>(i * 7 + 3);
        if (i < 128) {
            page += BYTE_PARA_HEX(b);
            expected_page.push_back(b);
        }
        block += BYTE_PARA_HEX(b);
        expected_block.push_back(b);
    }
    EXPECT_EQ(filled_area(page, 128), expected_page);
    EXPECT_EQ(filled_area(block, 256), expected_block);
}

TEST(HexParaBytes, TextOf255DigitsEndsWithItsLastDigitAlone) {
    const std::string text = std::string(254, '1') + "7";
    const Bytes area = filled_area(text, 128);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 127), Bytes(127, 0x11));
    EXPECT_EQ(area[127], 0x07);
}

TEST(HexParaBytes, TextLongerThanTheAreaStopsAtItsEnd) {
    // Guard bytes around the area show that nothing beyond it is written.
    Bytes memory(128 + 2, 0x33);
    HEX_PARA_BYTES(std::string(600, 'C'), memory.data() + 1, 128);
    EXPECT_EQ(memory.front(), 0x33);
    EXPECT_EQ(memory.back(), 0x33);
    EXPECT_EQ(Bytes(memory.begin() + 1, memory.end() - 1), Bytes(128, 0xCC));
}

// --- BYTE_PARA_HEX ------------------------------------------------------------

TEST(ByteParaHex, TwoUpperCaseDigitsZeroPadded) {
    EXPECT_EQ(BYTE_PARA_HEX(0x0F), "0F");
    EXPECT_EQ(BYTE_PARA_HEX(0x00), "00");
    EXPECT_EQ(BYTE_PARA_HEX(0xAB), "AB");
    EXPECT_EQ(BYTE_PARA_HEX(0xFF), "FF");
}

TEST(ByteParaHex, EveryByteComesBackThroughHexParaInt) {
    for (int b = 0; b < 256; ++b) EXPECT_EQ(HEX_PARA_INT(BYTE_PARA_HEX(static_cast<uint8_t>(b))), b) << b;
}

// --- CODIFICA_BYTE ------------------------------------------------------------

TEST(CodificaByte, SwapsNibblesAndInvertsBits) {
    EXPECT_EQ(CODIFICA_BYTE(0x00), 0xFF);
    EXPECT_EQ(CODIFICA_BYTE(0xFF), 0x00);
    EXPECT_EQ(CODIFICA_BYTE(0x01), 0xEF);
    EXPECT_EQ(CODIFICA_BYTE(0x12), 0xDE);
    EXPECT_EQ(CODIFICA_BYTE(0x80), 0xF7);
    EXPECT_EQ(CODIFICA_BYTE(0xA5), 0xA5);
    EXPECT_EQ(CODIFICA_BYTE(0x5A), 0x5A);
}

TEST(CodificaByte, IsItsOwnInverse) {
    for (int b = 0; b < 256; ++b) EXPECT_EQ(CODIFICA_BYTE(CODIFICA_BYTE(static_cast<uint8_t>(b))), b) << b;
}

}  // namespace
