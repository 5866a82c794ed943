// The program's one case folding: ASCII letters only, code page 936 characters whole.
#include <gtest/gtest.h>

#include "base/text.h"

namespace {

TEST(Text, LowerAsciiFoldsAsciiLettersAndKeepsDoubleByteCharacters) {
    const std::pair<std::string, std::string> rows[] = {
        {"HERO.SKN", "hero.skn"},
        {"Data.PAK", "data.pak"},
        {"a-Z_0@[`{", "a-z_0@[`{"},
        // 中 is D6 D0; 丹 (B5 A4) and 藩 (B7 AA) are not letters; a trail byte may be one:
        // 侶 is C2 42 ('B'), 丶 is 81 41 ('A'). They stay, the letters beside them fold.
        {"\xd6\xd0X", "\xd6\xd0x"},
        {"\xc2\x42.DDS", "\xc2\x42.dds"},
        {"X\x81\x41Y", "x\x81\x41y"},
        // A lead byte last, with no trail byte: nothing read past the end.
        {"AB\x81", "ab\x81"},
        {"", ""},
    };
    for (const auto& [text, lower] : rows) {
        EXPECT_EQ(Base::LowerAscii(text), lower) << text;
    }
}

}  // namespace
