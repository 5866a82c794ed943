#include <gtest/gtest.h>

#include <filesystem>

#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

using Forge::PakFile;
using Forge::PakLayout;

namespace {

std::vector<uint8_t> Pattern(std::size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

class PakFixture : public ::testing::Test {
protected:
    PakMgr::IPakMgr& Open() {
        m_mgr = PakMgr::CreatePakMgr();
        m_opened = m_mgr->Open(m_dir.Path());
        m_mgr->BuildTree();
        return *m_mgr;
    }
    std::unique_ptr<PakMgr::IRead> Load(const std::string& path) {
        PakMgr::ITreeNode* node = PakMgr::FindPath(*m_mgr, path);
        EXPECT_NE(node, nullptr) << path;
        return m_mgr->LoadFile(node);
    }
    static std::vector<uint8_t> Contents(PakMgr::IRead& r) {
        std::vector<uint8_t> bytes(r.GetSize());
        r.Read(bytes.data(), r.GetSize());
        return bytes;
    }

    TestUtil::TempDir m_dir;
    std::unique_ptr<PakMgr::IPakMgr> m_mgr;
    bool m_opened = false;
};

}  // namespace

TEST_F(PakFixture, FirstArchiveInNameOrderWinsAPath) {
    Forge::SavePak(m_dir / "b.pak", {{.path = "\\x\\shared.txt", .data = Forge::Bytes("from b")},
                                     {.path = "\\x\\only_b.txt", .data = Forge::Bytes("b")}});
    Forge::SavePak(m_dir / "A.PAK", {{.path = "\\x\\shared.txt", .data = Forge::Bytes("from A")}});
    Forge::SavePak(m_dir / "c.pakx", {{.path = "\\ignored", .data = Forge::Bytes("no")}});
    std::filesystem::create_directory(m_dir / "dir.pak");

    PakMgr::IPakMgr& mgr = Open();
    ASSERT_TRUE(m_opened);
    EXPECT_EQ(mgr.GetArchiveNames(), (std::vector<std::string>{"A.PAK", "b.pak"}));
    EXPECT_EQ(mgr.GetFileCount(), 3u);  // both copies stay in the entry list
    EXPECT_EQ(mgr.GetFileName(1), "\\x\\shared.txt");
    EXPECT_EQ(mgr.GetFileName(3), "not found");
    auto r = Load("x/shared.txt");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Contents(*r), Forge::Bytes("from A"));

    PakMgr::PakEntry e;
    ASSERT_TRUE(mgr.GetEntry(2, e));
    EXPECT_EQ(e.pakPath, m_dir / "b.pak");
    EXPECT_EQ(e.name, "\\x\\only_b.txt");
    EXPECT_EQ(e.inflatedSize, 1u);
}

// Open adds to what is open; a folder without archives adds nothing.
TEST_F(PakFixture, OpenAddsAndClearEmpties) {
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\f", .data = Forge::Bytes("f")}});
    PakMgr::IPakMgr& mgr = Open();
    TestUtil::TempDir empty;
    EXPECT_FALSE(mgr.Open(empty.Path()));
    EXPECT_FALSE(mgr.Open(empty / "missing"));
    EXPECT_EQ(mgr.GetFileCount(), 1u);
    ASSERT_TRUE(mgr.Open(m_dir.Path()));
    EXPECT_EQ(mgr.GetFileCount(), 2u);
    mgr.Clear();
    EXPECT_EQ(mgr.GetFileCount(), 0u);
}

// The first byte of a path is always '\\'; a path filling its field is cut at the field.
TEST_F(PakFixture, PathFieldRules) {
    Forge::SavePak(m_dir / "a.pak",
                   {{.path = "Xdata\\f.txt", .data = Forge::Bytes("1")},
                    {.path = std::string("\0g", 2), .data = Forge::Bytes("2")},
                    {.path = "\\" + std::string(300, 'n'), .data = Forge::Bytes("x")}});
    PakMgr::IPakMgr& mgr = Open();
    EXPECT_EQ(mgr.GetFileName(0), "\\data\\f.txt");
    EXPECT_EQ(mgr.GetFileName(1), "\\g");
    EXPECT_EQ(mgr.GetFileName(2).size(), Forge::kPakPathField);
    EXPECT_NE(Load("data/f.txt"), nullptr);
}

TEST_F(PakFixture, UnknownInflatedSizeInflatesToTheTrueSize) {
    // Compresses far better than 5:1, which must not cut the file.
    std::vector<uint8_t> zeros(1 << 20, 0);
    std::vector<uint8_t> noise = Pattern(100000, 1);
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\zeros", .data = zeros, .inflatedSize = 0},
                                     {.path = "\\noise", .data = noise, .inflatedSize = 0}});
    Open();
    auto z = Load("zeros");
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->GetSize(), zeros.size());
    auto n = Load("noise");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(Contents(*n), noise);
}

TEST_F(PakFixture, BrokenStreamsGiveNoReader) {
    std::vector<uint8_t> data = Pattern(5000, 2);
    std::vector<uint8_t> stream = Forge::ZlibCompress(data);
    std::vector<uint8_t> corrupt = stream;
    corrupt[corrupt.size() / 2] ^= 0x5A;
    std::vector<uint8_t> cut(stream.begin(), stream.begin() + stream.size() / 2);
    Forge::SavePak(m_dir / "a.pak",
                   {{.path = "\\good", .data = data},
                    {.path = "\\corrupt", .data = data, .stream = corrupt},
                    {.path = "\\cut", .data = data, .stream = cut},
                    {.path = "\\cut_unknown", .data = data, .inflatedSize = 0, .stream = cut},
                    {.path = "\\too_small", .data = data, .inflatedSize = 4999},
                    {.path = "\\too_large", .data = data, .inflatedSize = 5001},
                    {.path = "\\huge_claim", .data = data, .inflatedSize = 0xFFFFFFF0u},
                    {.path = "\\past_end", .data = data, .offset = 0x7FFFFFF0u},
                    {.path = "\\stored_too_long", .data = data, .storedSize = 0xFFFFFFFFu},
                    {.path = "\\empty_stream", .data = data, .storedSize = 0}});
    Open();
    auto good = Load("good");
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(Contents(*good), data);
    for (const char* name : {"corrupt", "cut", "cut_unknown", "too_small", "too_large",
                             "huge_claim", "past_end", "stored_too_long", "empty_stream"}) {
        EXPECT_EQ(Load(name), nullptr) << name;
    }
    EXPECT_EQ(m_mgr->LoadFile(nullptr), nullptr);
    EXPECT_EQ(m_mgr->LoadFile(m_mgr->GetRoot()), nullptr);
}

TEST_F(PakFixture, TableMayLieAnywhere) {
    Forge::SavePak(
        m_dir / "a.pak",
        {{.path = "\\a", .data = Forge::Bytes("aa")}, {.path = "\\b", .data = Forge::Bytes("bbb")}},
        {.table = PakLayout::Table::AfterHeader});
    Open();
    auto b = Load("b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Contents(*b), Forge::Bytes("bbb"));
}

TEST_F(PakFixture, CountsFromTheHeaderAreNotTrusted) {
    std::vector<PakFile> files = {{.path = "\\a", .data = Forge::Bytes("a")},
                                  {.path = "\\b", .data = Forge::Bytes("b")},
                                  {.path = "\\c", .data = Forge::Bytes("c")}};
    std::vector<uint8_t> whole = Forge::WritePak(files);
    // The table is at the end: cut in the middle of the last record.
    Forge::SavePak(m_dir / "1_cut_table.pak", files, {.cutTo = whole.size() - 100});
    Forge::SavePak(m_dir / "2_huge_count.pak", {{.path = "\\d", .data = Forge::Bytes("d")}},
                   {.recordCount = 0xFFFFFFFFu});
    Forge::SavePak(m_dir / "3_table_past_end.pak", {{.path = "\\e", .data = Forge::Bytes("e")}},
                   {.tableOffset = 0x7FFFFFFFu});
    Forge::SavePak(m_dir / "4_short_header.pak", files, {.cutTo = 100});
    Forge::SaveBytes(m_dir / "5_empty.pak", {});
    Forge::SavePak(m_dir / "6_no_records.pak", {});
    PakMgr::IPakMgr& mgr = Open();
    ASSERT_TRUE(m_opened);
    ASSERT_EQ(mgr.GetFileCount(), 3u);  // a, b and d: whole records only
    EXPECT_EQ(mgr.GetFileName(0), "\\a");
    EXPECT_EQ(mgr.GetFileName(1), "\\b");
    EXPECT_EQ(mgr.GetFileName(2), "\\d");
    EXPECT_NE(Load("d"), nullptr);
}

TEST_F(PakFixture, AnArchiveThatCantBeOpenedStopsTheOpen) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens unreadable files";
    }
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\a", .data = Forge::Bytes("a")}});
    Forge::SavePak(m_dir / "b.pak", {{.path = "\\b", .data = Forge::Bytes("b")}});
    std::filesystem::permissions(m_dir / "b.pak", std::filesystem::perms::none);
    PakMgr::IPakMgr& mgr = Open();
    EXPECT_FALSE(m_opened);
    EXPECT_EQ(mgr.GetFileCount(), 1u);
}

TEST_F(PakFixture, ArchiveChangedAfterOpen) {
    std::vector<uint8_t> data = Pattern(20000, 3);
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\a", .data = data}});
    Forge::SavePak(m_dir / "b.pak", {{.path = "\\b", .data = data}});
    Open();
    std::filesystem::resize_file(m_dir / "a.pak", 1000);
    EXPECT_EQ(Load("a"), nullptr);
    std::filesystem::remove(m_dir / "b.pak");
    EXPECT_EQ(Load("b"), nullptr);
    EXPECT_EQ(Load("b"), nullptr);  // and again, without a crash
}

TEST_F(PakFixture, ReadersOutliveTheEntryList) {
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\a", .data = Forge::Bytes("abc")}});
    PakMgr::IPakMgr& mgr = Open();
    auto r = Load("a");
    mgr.Clear();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Contents(*r), Forge::Bytes("abc"));
    EXPECT_EQ(Load("a"), nullptr);  // the node's index names no entry any more
}
