// vell diff on archives of the test's own: the progress line on a terminal ends on the total,
// and a pair of archives whose records all claim one large stored range is compared whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "forge/pak.h"

namespace {

using Forge::PakFile;

std::string Name(std::size_t i) {
    return "\\docs\\" + std::to_string(i) + ".txt";
}

// What the last progress line said before the line ended (a terminal ends it with \r\n).
std::string LastProgress(const std::string& err) {
    std::string line = err.substr(0, err.find('\n'));
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    return line.substr(line.rfind('\r') + 1);
}

TEST(Diff, ProgressOnATerminalEndsOnTheTotal) {
    constexpr std::size_t kFiles = 3000;
    std::vector<PakFile> before;
    std::vector<PakFile> after;
    for (std::size_t i = 0; i < kFiles; ++i) {
        before.push_back({.path = Name(i), .data = Forge::Bytes("same " + std::to_string(i))});
        after.push_back({.path = Name(i), .data = Forge::Bytes("same " + std::to_string(i))});
    }
    after[7].data = Forge::Bytes("changed");
    TestUtil::TempDir older;
    TestUtil::TempDir newer;
    Forge::SavePak(older / "data.pak", before);
    Forge::SavePak(newer / "data.pak", after);
    for (int run = 0; run < 3; ++run) {
        const TestUtil::RunResult r = TestUtil::Vell({"diff", older.Path(), newer.Path()}, true);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(LastProgress(r.err), "3000/3000 files compared") << r.err.substr(0, 200);
        EXPECT_EQ(r.out, "M docs/7.txt\n0 added, 0 removed, 1 changed, 2999 unchanged\n");
    }
}

// Every record of each archive claims the stored bytes of its first file (half a megabyte):
// compared in parts bounded by bytes, each record is changed, nothing unreadable.
TEST(Diff, OverlappingRecordsAreComparedWhole) {
    constexpr std::size_t kBlob = 512u << 10;
    constexpr std::size_t kCopies = 300;
    const auto archive = [&](uint32_t seed) {
        std::vector<uint8_t> noise(kBlob);
        for (uint8_t& byte : noise) {
            seed = seed * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(seed >> 24);
        }
        std::vector<PakFile> files{{.path = Name(0), .data = noise}};
        files[0].stream = Forge::ZlibCompress(noise, 0);
        for (std::size_t i = 1; i <= kCopies; ++i) {
            files.push_back({.path = Name(i),
                             .inflatedSize = static_cast<uint32_t>(kBlob),
                             .storedSize = static_cast<uint32_t>(files[0].stream->size()),
                             .offset = static_cast<uint32_t>(Forge::kPakHeaderSize),
                             .stream = std::vector<uint8_t>{}});
        }
        return files;
    };
    TestUtil::TempDir older;
    TestUtil::TempDir newer;
    Forge::SavePak(older / "data.pak", archive(1));
    Forge::SavePak(newer / "data.pak", archive(2));
    const TestUtil::RunResult r = TestUtil::Vell({"diff", older.Path(), newer.Path()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out.ends_with("\n0 added, 0 removed, 301 changed, 0 unchanged\n"))
        << r.out.substr(r.out.size() - std::min<std::size_t>(r.out.size(), 200));
}

}  // namespace
