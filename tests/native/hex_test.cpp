// Hexadecimal text: numbers, byte pairs into Pages and Blocks, bytes to text,
// and the data-byte encoding of the loader.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "uSER_KV.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An erased area of `tamanho` bytes filled from `texto`.
Bytes area_de(const std::string& texto, int tamanho) {
    Bytes area(static_cast<size_t>(tamanho), 0xFF);
    HEX_PARA_BYTES(texto, area.data(), tamanho);
    return area;
}

Bytes apagados(size_t n) { return Bytes(n, 0xFF); }

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

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
    EXPECT_EQ(area_de("0A1B", 128), concat({0x0A, 0x1B}, apagados(126)));
    EXPECT_EQ(area_de("5A", 128), concat({0x5A}, apagados(127)));
}

TEST(HexParaBytes, OddTextEndsWithASingleDigitByte) {
    EXPECT_EQ(area_de("ABC", 128), concat({0xAB, 0x0C}, apagados(126)));
}

TEST(HexParaBytes, PairsWithoutDigitsGiveZero) {
    EXPECT_EQ(area_de("zz", 128), concat({0x00}, apagados(127)));
    EXPECT_EQ(area_de("a1", 128), concat({0x01}, apagados(127)));
}

TEST(HexParaBytes, EmptyTextStillWritesByteZero) {
    EXPECT_EQ(area_de("", 128), concat({0x00}, apagados(127)));
}

TEST(HexParaBytes, FullTextsFillAPageAndABlockExactly) {
    std::string pagina, bloco;
    Bytes esperado_pagina, esperado_bloco;
    for (int i = 0; i < 256; ++i) {
        const uint8_t b = static_cast<uint8_t>(i * 7 + 3);
        if (i < 128) {
            pagina += BYTE_PARA_HEX(b);
            esperado_pagina.push_back(b);
        }
        bloco += BYTE_PARA_HEX(b);
        esperado_bloco.push_back(b);
    }
    EXPECT_EQ(area_de(pagina, 128), esperado_pagina);
    EXPECT_EQ(area_de(bloco, 256), esperado_bloco);
}

TEST(HexParaBytes, TextOf255DigitsEndsWithItsLastDigitAlone) {
    const std::string texto = std::string(254, '1') + "7";
    const Bytes area = area_de(texto, 128);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 127), Bytes(127, 0x11));
    EXPECT_EQ(area[127], 0x07);
}

TEST(HexParaBytes, TextLongerThanTheAreaStopsAtItsEnd) {
    // Guard bytes around the area show that nothing beyond it is written.
    Bytes memoria(128 + 2, 0x33);
    HEX_PARA_BYTES(std::string(600, 'C'), memoria.data() + 1, 128);
    EXPECT_EQ(memoria.front(), 0x33);
    EXPECT_EQ(memoria.back(), 0x33);
    EXPECT_EQ(Bytes(memoria.begin() + 1, memoria.end() - 1), Bytes(128, 0xCC));
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
