// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line settings of a serial port: baud rate, parity, data bits and stop bits.
#include <string>

namespace meter {

struct LineSettings {
    int baud = 9600;
    char parity = 'n'; // 'n' none, 'e' even, 'o' odd
    int databits = 8;
    int stopbits = 1;

    // The settings text as a technician knows it: "9600,n,8,1".
    std::string text() const;
    bool operator==(const LineSettings&) const = default;
};

} // namespace meter
