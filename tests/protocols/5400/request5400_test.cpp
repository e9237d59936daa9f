// SPDX-License-Identifier: GPL-3.0-or-later
// 5400 requests and their CRC-16, checked against the request lines the meters expect and
// against the meters' own way of reaching the CRC's high byte and a byte's digits through
// hexadecimal text.
#include "protocols/5400/reply5400.h"
#include "protocols/5400/request5400.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

namespace meter {
namespace {

TEST(Crc16, BytesAfterStartByte_XmodemOrNoneIfTooShort) {
    for (std::uint8_t start : {0x00, 0xFE, 0xFF}) {
        const Bytes buffer{start, '1', '2', '3', '4', '5', '6', '7', '8', '9'};
        EXPECT_EQ(crc16(buffer, 9), 0x31C3) << int(start);
    }
    const Bytes head{0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x0C};
    EXPECT_EQ(crc16(head, 6), 0xB218);
    EXPECT_EQ(crc16(head, 0), 0x0000) << "nothing covered";
    EXPECT_EQ(crc16(head, 7), std::nullopt) << "the buffer has no position 7";
}

TEST(Request5400, RegisterName_BuildsLineMeterTakesBack) {
    struct Case {
        const char* name;
        Bytes line;
    } cases[] = {
        {"表头", {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x0C, 0xB2, 0x18, 0x00, 0x00}},
        {"已用邮资", {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x05, 0x23, 0x31, 0x00, 0x00}},
        {"未用邮资", {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x06, 0x13, 0x52, 0x00, 0x00}},
        {"总件数", {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x08, 0xF2, 0x9C, 0x00, 0x00}},
        {"总邮资", {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, 0x00, 0x73, 0x94, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        const Request5400 r = build5400(c.name);
        EXPECT_EQ(Bytes(r.bytes.begin(), r.bytes.end()), c.line) << c.name;
        // The meter takes the line back to its register, and waits while it is incomplete.
        const Taken5400 t = take5400(c.line);
        EXPECT_EQ(t.kind, c.line[6] ? Taken5400::Kind::request : Taken5400::Kind::rejected);
        EXPECT_EQ(t.code, c.line[6]) << c.name;
        EXPECT_EQ(take5400(ByteView(c.line).first(10)).kind, Taken5400::Kind::needmore);
    }
}

// The meters' route to the CRC's high byte: the CRC with its low byte cleared, as capital
// hexadecimal text without leading zeros, read back by its length.
int hexdigit(const std::string& text) {
    static const std::string digits = "0123456789ABCDEF";
    if (text.size() != 1) return 0;
    const auto at = digits.find(text[0]);
    return at == std::string::npos ? 0 : static_cast<int>(at);
}
int hexbyte(const std::string& text) {
    if (text.empty()) return 0;
    return hexdigit(text.substr(0, 1)) * 16 + hexdigit(text.substr(text.size() - 1));
}
std::string hextext(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}
int crchivia(unsigned crc) {
    const std::string text = hextext(crc & 0xFF00u);
    switch (text.size()) {
    case 1:
    case 2:
        return 0;
    case 3:
        return hexbyte(std::string("0") + text[0]);
    case 4:
        return hexbyte(text.substr(0, 2));
    default:
        return -1;
    }
}

TEST(Crc16, EveryCrc_HighByteMatchesHexTextRoute) {
    EXPECT_EQ(crchivia(0x0A12), 0x0A) << "the text A00 is read as 0A";
    for (unsigned crc = 0; crc <= 0xFFFF; ++crc)
        ASSERT_EQ(crchigh(static_cast<std::uint16_t>(crc)), crchivia(crc)) << crc;
}

// The meters' route to a byte's digits: its hexadecimal text read as a decimal number, written
// with at least two digits; no digits when the text holds a letter.
std::optional<std::string> pairvia(std::uint8_t byte) {
    const std::string text = hextext(byte);
    if (text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const std::string number = std::to_string(std::stoi(text));
    return number.size() < 2 ? "0" + number : number;
}

TEST(DigitPair, EveryByte_UnpacksAsTheHexTextRouteDoes) {
    for (unsigned b = 0; b <= 0xFF; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const std::optional<std::string> expected = pairvia(byte);
        EXPECT_EQ(unpackbcd(byte), expected) << b;
    }
}

} // namespace
} // namespace meter
