// A case-blind test of a file name's ending (ASCII letters), as the glTF export names its files.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace Export {

inline bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - static_cast<long>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace Export
