// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/win32errors.h"

#include <array>
#include <utility>

namespace meter {

std::string_view win32errorwords(unsigned long code) {
    static constexpr std::array<std::pair<unsigned long, std::string_view>, 31> words{{
        {1, "the device does not support this function"},
        {2, "the file does not exist"},
        {3, "the folder does not exist"},
        {5, "access is denied"},
        {6, "the handle is no longer valid"},
        {8, "not enough memory"},
        {14, "not enough memory"},
        {15, "the drive does not exist"},
        {19, "the medium is write-protected"},
        {20, "the device cannot be found"},
        {21, "the device is not ready"},
        {22, "the device does not recognise the command"},
        {31, "the device does not work"},
        {32, "another program is using it"},
        {33, "another program has locked part of it"},
        {55, "the device does not exist"},
        {87, "a parameter is not valid"},
        {109, "the other end has closed"},
        {112, "the disk is full"},
        {121, "the operation timed out"},
        {123, "the name is not valid"},
        {126, "a library it needs was not found"},
        {170, "it is busy"},
        {193, "it is not a program or library for this kind of Windows"},
        {206, "the name is too long"},
        {216, "it is made for another kind of processor"},
        {231, "it is busy"},
        {232, "the other end has closed"},
        {233, "the other end has closed"},
        {1167, "the device is not connected"},
        {1617, "the device was removed"},
    }};
    for (const auto& [number, text] : words)
        if (number == code) return text;
    return {};
}

} // namespace meter
