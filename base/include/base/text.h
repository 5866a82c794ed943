// Text: names stay the archives' code page 936 bytes inside the program and become UTF-8
// where they meet the screen, the file system or the command line.
#pragma once

#include <string>
#include <string_view>

namespace Base {

// Code page 936 bytes to UTF-8 and back; bytes that don't convert become '?'.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace Base
