#include "protocols/5400/request5400.h"

#include "core/metererror.h"

namespace meter {

std::uint16_t crc16(ByteView buffer, std::size_t n) {
    if (n >= buffer.size())
        throw MeterError("CRC over " + std::to_string(n) + " bytes of a " +
                         std::to_string(buffer.size()) + "-byte buffer");
    std::uint32_t crc = 0;
    for (std::size_t k = 1; k <= n + 2; ++k) {
        std::uint8_t c = k <= n ? buffer[k] : 0;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 0x8000) != 0;
            crc = crc * 2 + ((c >> 7) & 1);
            c = static_cast<std::uint8_t>(c << 1);
            if (carry) crc ^= 0x11021;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

std::uint8_t registercode(std::string_view name) {
    if (name == "表头") return 0x0C;
    if (name == "已用邮资") return 0x05;
    if (name == "未用邮资") return 0x06;
    if (name == "总件数") return 0x08;
    return 0x00;
}

Request5400 build5400(std::string_view name) {
    Request5400 r;
    r.bytes = {0xFE, 0x01, 0x06, 0x07, 0x04, 0x0D, registercode(name)};
    const std::uint16_t crc = crc16(r.bytes, 6);
    r.crclo = crclow(crc);
    r.crchi = crchigh(crc);
    r.bytes[7] = r.crchi;
    r.bytes[8] = r.crclo;
    r.bytes[9] = 0x00;
    return r;
}

} // namespace meter
