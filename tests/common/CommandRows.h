// What the tables of vell command lines share: placeholders like {O} put into a row's
// texts, and the files a row expects below its output folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>
#include <utility>

#include "TestUtil.h"

namespace CommandRows {

using Keys = std::span<const std::pair<const char*, std::string>>;

// Every three-character key ("{O}") replaced by its value, wherever it stands.
inline std::string Substituted(std::string text, Keys keys) {
    for (const auto& [key, value] : keys) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
            text.replace(at, 3, value);
        }
    }
    return text;
}

// `spec`, below `out`: "p" is there, "!p" is not, "p=text" holds text, "p%text" contains it,
// "p@n" has n bytes, "d/#n" n files, "*.x#n" n files named *.x anywhere below.
inline void ExpectFile(const std::string& out, const std::string& spec) {
    namespace fs = std::filesystem;
    const std::size_t mark = spec.find_first_of("=%@#");
    const bool absent = spec[0] == '!';
    const std::string path =
        out + "/" + spec.substr(absent, mark == std::string::npos ? mark : mark - absent);
    const std::string value = mark == std::string::npos ? "" : spec.substr(mark + 1);
    if (spec[0] == '*') {
        std::size_t named = 0;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            named += entry.path().string().ends_with(spec.substr(1, mark - 1)) ? 1 : 0;
        }
        EXPECT_EQ(named, std::stoul(value)) << spec;
    } else if (absent) {
        EXPECT_FALSE(fs::exists(path)) << spec;
    } else if (mark == std::string::npos) {
        EXPECT_TRUE(fs::is_regular_file(path)) << spec;
    } else if (spec[mark] == '=') {
        EXPECT_EQ(TestUtil::ReadText(path), value) << spec;
    } else if (spec[mark] == '%') {
        EXPECT_NE(TestUtil::ReadText(path).find(value), std::string::npos) << spec;
    } else if (spec[mark] == '@') {
        EXPECT_EQ(fs::exists(path) ? fs::file_size(path) : 0, std::stoul(value)) << spec;
    } else {
        EXPECT_EQ(TestUtil::FilesIn(path).size(), std::stoul(value)) << spec;
    }
}

}  // namespace CommandRows
