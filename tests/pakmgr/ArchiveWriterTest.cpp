// The archive writer read back by the manager: every record's path, sizes and offset, the
// header's words and mark, the bytes of every file; splits, cancelling and failures that
// leave nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include <zlib.h>

#include "TestUtil.h"
#include "base/except.h"
#include "base/text.h"
#include "pakmgr/layout.h"
#include "pakmgr/pack.h"
#include "pakmgr/pakmgr.h"
#include "pakmgr/writer.h"

namespace {

namespace fs = std::filesystem;
using PakMgr::Layout::kHeaderSize;
using PakMgr::Layout::kRecordSize;

struct SourceFile {
    std::string path;  // relative, UTF-8
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    return bytes;
}

std::vector<uint8_t> Text(std::string_view text) {
    return {text.begin(), text.end()};
}

void MakeFolder(const std::string& folder, const std::vector<SourceFile>& files) {
    for (const SourceFile& file : files) {
        const fs::path path = fs::path(folder) / file.path;
        fs::create_directories(path.parent_path());
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr) << path;
        if (!file.bytes.empty()) {
            std::fwrite(file.bytes.data(), file.bytes.size(), 1, out);
        }
        std::fclose(out);
    }
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}

struct WriterRow {
    const char* name;
    std::vector<SourceFile> files;
    std::vector<std::string> order;  // the archive paths in the table's order (code page 936)
    int level = 6;
    unsigned workers = 2;
};

// clang-format off
const WriterRow kRows[] = {
    {"NestedFoldersInByteOrder", {{"b.txt", Text("bee")}, {"a/z.txt", Text("zed")}, {"a/b/c.txt", Text("deep")}, {"B.txt", Text("capital")}},
     {"\\B.txt", "\\a\\b\\c.txt", "\\a\\z.txt", "\\b.txt"}},
    {"ChineseNamesInCodePage936", {{"中文/文件.txt", Text("zh")}, {"ascii.txt", Text("en")}},
     {"\\ascii.txt", "\\\xd6\xd0\xce\xc4\\\xce\xc4\xbc\xfe.txt"}},
    {"EmptyFile", {{"empty.bin", {}}, {"one.bin", Text("1")}}, {"\\empty.bin", "\\one.bin"}},
    {"FastestLevelOneWorker", {{"x.bin", std::vector<uint8_t>(100000, 7)}, {"y.bin", Noise(5000, 1)}}, {"\\x.bin", "\\y.bin"}, 1, 1},
    {"SmallestLevelManyWorkers", {{"x.bin", std::vector<uint8_t>(100000, 7)}, {"y.bin", Noise(5000, 2)}}, {"\\x.bin", "\\y.bin"}, 12, 8},
    // More than one slice of the pipeline: files read while others are written.
    {"SeveralSlices", {{"1.bin", Noise(5 << 20, 3)}, {"2.bin", Noise(5 << 20, 4)}, {"3.bin", Noise(5 << 20, 5)}},
     {"\\1.bin", "\\2.bin", "\\3.bin"}},
    // A path of 255 bytes, the most a record holds with its NUL.
    {"LongestPath", {{std::string(254, 'p'), Text("long")}}, {"\\" + std::string(254, 'p')}},
};
// clang-format on

void PrintTo(const WriterRow& row, std::ostream* os) {
    *os << row.name;
}

class Writer : public ::testing::TestWithParam<WriterRow> {};

TEST_P(Writer, ReadsBackRecordByRecord) {
    const WriterRow& row = GetParam();
    TestUtil::TempDir source, game;
    MakeFolder(source.Path(), row.files);
    const PakMgr::PackPlan plan = PakMgr::PlanPack(source.Path(), game / "mod.pak");
    ASSERT_TRUE(plan.problems.empty()) << plan.problems.front();
    const auto written =
        PakMgr::WritePack(plan, game / "mod.pak", {.level = row.level, .workers = row.workers});
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, std::vector<std::string>{game / "mod.pak"});

    // The header: the mark in its unused bytes, the count and where the table is.
    const std::vector<uint8_t> bytes = TestUtil::ReadBytes(game / "mod.pak");
    ASSERT_GE(bytes.size(), kHeaderSize);
    EXPECT_TRUE(PakMgr::HasPackMark(bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 20), "written by vell pack");
    EXPECT_EQ(WordAt(bytes, 260), row.order.size());
    const uint32_t tableOffset = WordAt(bytes, 264);
    EXPECT_EQ(bytes.size(), tableOffset + row.order.size() * kRecordSize);

    auto mgr = PakMgr::CreatePakMgr();
    ASSERT_TRUE(mgr->Open(game.Path()));
    ASSERT_EQ(mgr->GetFileCount(), row.order.size());
    uint32_t next = kHeaderSize;  // the streams lie back to back from the header on
    for (uint32_t i = 0; i < mgr->GetFileCount(); ++i) {
        PakMgr::PakEntry entry;
        ASSERT_TRUE(mgr->GetEntry(i, entry));
        EXPECT_EQ(entry.name, row.order[i]);
        // The stored path's first byte is '\' itself, not only after reading.
        EXPECT_EQ(bytes[tableOffset + i * kRecordSize], '\\');
        EXPECT_EQ(entry.offset, next) << entry.name;
        next += entry.storedSize;
        const auto file = std::find_if(row.files.begin(), row.files.end(), [&](const auto& f) {
            std::string path = "\\" + f.path;
            std::replace(path.begin(), path.end(), '/', '\\');
            return Base::Utf8ToGbk(path) == entry.name;
        });
        ASSERT_NE(file, row.files.end()) << entry.name;
        EXPECT_EQ(entry.inflatedSize, file->bytes.size());
        std::vector<uint8_t> inflated;
        ASSERT_TRUE(mgr->LoadEntry(i, inflated) || file->bytes.empty()) << entry.name;
        EXPECT_EQ(inflated, file->bytes) << entry.name;
    }
    EXPECT_EQ(next, tableOffset);
}

INSTANTIATE_TEST_SUITE_P(Pack, Writer, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<SourceFile> ThreeFiles() {
    return {{"a.bin", Noise(60000, 6)}, {"b.bin", Noise(60000, 7)}, {"c.bin", Noise(60000, 8)}};
}

TEST(Pack, SameFolderSameBytesWhateverTheWorkers) {
    TestUtil::TempDir source, out;
    MakeFolder(source.Path(), ThreeFiles());
    const PakMgr::PackPlan plan = PakMgr::PlanPack(source.Path(), out / "1.pak");
    ASSERT_TRUE(PakMgr::WritePack(plan, out / "1.pak", {.workers = 1}));
    ASSERT_TRUE(PakMgr::WritePack(plan, out / "2.pak", {.workers = 7}));
    EXPECT_EQ(TestUtil::ReadBytes(out / "1.pak"), TestUtil::ReadBytes(out / "2.pak"));
}

// Past the limit the archive goes on in NAME_1.pak...: each part a whole archive, read
// together they hold every file once.
TEST(Pack, SplitPartsAreWholeArchives) {
    TestUtil::TempDir source, game;
    MakeFolder(source.Path(), ThreeFiles());
    const PakMgr::PackPlan plan = PakMgr::PlanPack(source.Path(), game / "mod.pak");
    const uint64_t limit = 100000;  // two of the incompressible files don't fit together
    EXPECT_THROW(PakMgr::WritePack(plan, game / "mod.pak", {.archiveLimit = limit}), Except);
    EXPECT_EQ(TestUtil::FilesIn(game.Path()), std::vector<std::string>{});
    const auto written =
        PakMgr::WritePack(plan, game / "mod.pak", {.split = true, .archiveLimit = limit});
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written,
              (std::vector<std::string>{game / "mod.pak", game / "mod_1.pak", game / "mod_2.pak"}));
    auto mgr = PakMgr::CreatePakMgr();
    ASSERT_TRUE(mgr->Open(game.Path()));
    EXPECT_EQ(mgr->GetFileCount(), 3u);
    for (const std::string& part : *written) {
        EXPECT_LE(fs::file_size(part), limit);
    }
}

TEST(Pack, CancelledOrFailedLeavesNothing) {
    TestUtil::TempDir source, out;
    MakeFolder(source.Path(), ThreeFiles());
    const PakMgr::PackPlan plan = PakMgr::PlanPack(source.Path(), out / "mod.pak");
    const auto cancelled = PakMgr::WritePack(
        plan, out / "mod.pak", {.progress = [](uint64_t, uint64_t) { return false; }});
    EXPECT_FALSE(cancelled.has_value());
    EXPECT_EQ(TestUtil::FilesIn(out.Path()), std::vector<std::string>{});
    // A file gone between the listing and the reading: an Io failure, the old archive kept.
    MakeFolder(out.Path(), {{"mod.pak", Text("old")}});
    fs::remove(source / "b.bin");
    try {
        PakMgr::WritePack(plan, out / "mod.pak", {});
        ADD_FAILURE() << "no failure";
    } catch (const Except& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::Io);
        EXPECT_NE(e.Message().find("b.bin"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(TestUtil::FilesIn(out.Path()), std::vector<std::string>{"mod.pak"});
    EXPECT_EQ(TestUtil::ReadText(out / "mod.pak"), "old");
}

TEST(Pack, SplitPartNames) {
    EXPECT_EQ(PakMgr::SplitPartName("/g/mod.pak", 0), "/g/mod.pak");
    EXPECT_EQ(PakMgr::SplitPartName("/g/mod.pak", 2), "/g/mod_2.pak");
    EXPECT_EQ(PakMgr::SplitPartName("/g.d/mod", 1), "/g.d/mod_1");
}

}  // namespace

// Small files and large ones take different compressors, each kept for the next file; every
// level of each must give the stream zlib's uncompress reads back.
TEST(CompressStream, InflatesBackAtEveryLevelAndSize) {
    const std::size_t small = PakMgr::kSmallFileBytes;
    for (const int level : {PakMgr::kMinPackLevel, 6, 9, 10, PakMgr::kMaxPackLevel}) {
        for (const std::size_t size : {0uz, 1uz, small - 1, small - 1, small, 70000uz, 70000uz}) {
            std::vector<uint8_t> data = Noise(size, static_cast<unsigned>(size));
            // Half noise, half repetition: something for the match finder to find.
            std::fill(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size / 2), 'x');
            std::vector<uint8_t> stream;
            PakMgr::CompressStream(data, level, stream);
            std::vector<uint8_t> back(size + 1);
            uLongf length = back.size();
            ASSERT_EQ(uncompress(back.data(), &length, stream.data(), stream.size()), Z_OK)
                << size << " bytes at level " << level;
            back.resize(length);
            EXPECT_EQ(back, data) << size << " bytes at level " << level;
            // Into a buffer of leftovers, nothing cleared: the same stream.
            std::vector<uint8_t> into(PakMgr::CompressBound(size, level), 0xA5);
            const std::size_t made = PakMgr::CompressInto(data, level, into);
            EXPECT_TRUE(made == stream.size() &&
                        std::equal(stream.begin(), stream.end(), into.begin()))
                << size << " bytes at level " << level;
        }
    }
}

TEST(CompressInto, RefusesABufferBelowTheStream) {
    for (const std::size_t size : {std::size_t{100}, std::size_t{70000}}) {
        const std::vector<uint8_t> data = Noise(size, 3);
        std::vector<uint8_t> into(size / 2);
        EXPECT_ANY_THROW(PakMgr::CompressInto(data, 6, into)) << size << " bytes";
    }
}

// The parts of a split are listed one after another: a game archive whose name falls between
// two of them wins over the later part, which the check of each part must see before any part
// is written.
TEST(Pack, EachPartOfASplitIsCheckedUnderItsOwnName) {
    TestUtil::TempDir source;
    MakeFolder(source.Path(), ThreeFiles());
    const uint64_t limit = 100000;  // one file a part: mod.pak, mod_1.pak, mod_2.pak
    for (const bool rivalBetween : {false, true}) {
        TestUtil::TempDir game;
        // b.bin goes into mod_1.pak; mod_0.pak lists after mod.pak and before mod_1.pak.
        const std::string rival = rivalBetween ? "mod_0.pak" : "mod_9.pak";
        std::vector<uint8_t> stream;
        PakMgr::CompressStream(Text("the game's b"), 6, stream);
        const std::string paths[] = {"\\b.bin"};
        const uint32_t sizes[] = {12};
        const std::vector<uint8_t> streams[] = {stream};
        MakeFolder(game.Path(), {{rival, PakMgr::ArchiveBytes(paths, sizes, streams, false)}});
        auto mgr = PakMgr::CreatePakMgr();
        ASSERT_TRUE(mgr->Open(game.Path()));
        const PakMgr::PackPlan plan = PakMgr::PlanPack(source.Path(), game / "mod.pak");
        std::optional<PakMgr::PartCheck> lost;
        const auto check = [&](std::span<const PakMgr::PackPart> parts) {
            ASSERT_EQ(parts.size(), 3u);
            EXPECT_EQ(parts[1].archive, game / "mod_1.pak");
            EXPECT_EQ(parts[1].first, 1u);
            EXPECT_EQ(parts[1].count, 1u);
            lost = PakMgr::CheckLaterParts(*mgr, plan, parts);
            if (lost) {
                throw Except(ErrorKind::Input, "a part loses");
            }
        };
        const PakMgr::PackOptions options{
            .split = true, .archiveLimit = limit, .beforeCommit = check};
        if (!rivalBetween) {
            EXPECT_TRUE(PakMgr::WritePack(plan, game / "mod.pak", options));
            EXPECT_FALSE(lost);
            continue;
        }
        EXPECT_THROW(PakMgr::WritePack(plan, game / "mod.pak", options), Except);
        ASSERT_TRUE(lost);
        EXPECT_EQ(lost->archive, "mod_1.pak");
        ASSERT_EQ(lost->check.paths.size(), 1u);
        EXPECT_EQ(lost->check.paths[0].path, "\\b.bin");
        EXPECT_EQ(lost->check.paths[0].archive, "mod_0.pak");
        EXPECT_EQ(TestUtil::FilesIn(game.Path()), std::vector<std::string>{"mod_0.pak"});
    }
}
