// Text: names stay the archives' code page 936 bytes inside the program and become UTF-8
// where they meet the screen, the file system or the command line.
#pragma once

#include <string>
#include <string_view>

namespace Base {

// Code page 936 bytes to UTF-8 and back; bytes that don't convert become '?'.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// ASCII A-Z to a-z, the program's one case folding: names compare and end (".pak", ".skn")
// with ASCII letters in any case. Code page 936 text keeps both bytes of a double-byte
// character as they are, since a trail byte may fall in the ASCII letter range. UTF-8 text
// folds the same way once in code page 936 (its bytes above 0x7F are never letters).
std::string LowerAscii(std::string_view gbk);

}  // namespace Base
