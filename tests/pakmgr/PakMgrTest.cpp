// The archive table, the tree built from it and reading files through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>

#include "TestUtil.h"
#include "base/except.h"
#include "base/text.h"
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
    // The file's bytes; none when the path gives no reader.
    std::vector<uint8_t> BytesOf(const std::string& path) {
        auto r = Load(path);
        return r ? Contents(*r) : std::vector<uint8_t>{};
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
    EXPECT_EQ(BytesOf("x/shared.txt"), Forge::Bytes("from A"));

    PakMgr::PakEntry e;
    ASSERT_TRUE(mgr.GetEntry(2, e));
    EXPECT_EQ(e.pakPath, m_dir / "b.pak");
    EXPECT_EQ(e.name, "\\x\\only_b.txt");
    EXPECT_EQ(e.inflatedSize, 1u);
    // Every record of a path, the winner first; none of a folder.
    mgr.BuildTree();
    EXPECT_EQ(PakMgr::Records(mgr, PakMgr::FindPath(mgr, "x/shared.txt")),
              (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(PakMgr::Records(mgr, PakMgr::FindPath(mgr, "x/only_b.txt")),
              (std::vector<uint32_t>{2}));
    EXPECT_TRUE(PakMgr::Records(mgr, PakMgr::FindPath(mgr, "x")).empty());
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

// An unknown inflated size (0) inflates to the true size, even past 5:1; a broken stream or a
// size that lies gives no reader.
TEST_F(PakFixture, StreamsInflateToTheirTrueSizeOrGiveNoReader) {
    std::vector<uint8_t> data = Pattern(5000, 2);
    const std::vector<uint8_t> zeros(1 << 20, 0);
    std::vector<uint8_t> stream = Forge::ZlibCompress(data);
    std::vector<uint8_t> corrupt = stream;
    corrupt[corrupt.size() / 2] ^= 0x5A;
    std::vector<uint8_t> cut(stream.begin(), stream.begin() + stream.size() / 2);
    Forge::SavePak(m_dir / "a.pak",
                   {{.path = "\\good", .data = data},
                    {.path = "\\zeros", .data = zeros, .inflatedSize = 0},
                    {.path = "\\unknown", .data = data, .inflatedSize = 0},
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
    for (const auto& [name, bytes] :
         {std::pair{"good", data}, {"zeros", zeros}, {"unknown", data}}) {
        EXPECT_EQ(BytesOf(name), bytes) << name;
    }
    for (const char* name : {"corrupt", "cut", "cut_unknown", "too_small", "too_large",
                             "huge_claim", "past_end", "stored_too_long", "empty_stream"}) {
        EXPECT_EQ(Load(name), nullptr) << name;
    }
    EXPECT_EQ(m_mgr->LoadFile(nullptr), nullptr);
    EXPECT_EQ(m_mgr->LoadFile(m_mgr->GetRoot()), nullptr);

    // Loaded many at once, as an export does, each entry comes out as it does alone, whatever
    // its neighbours; also once the archive is cut behind the third entry's stored bytes.
    std::vector<uint32_t> indices(m_mgr->GetFileCount() + 1);  // and one past the end
    std::iota(indices.begin(), indices.end(), 0u);
    indices.insert(indices.end(), {2, 1, 0});
    using Loaded = std::vector<std::pair<bool, std::vector<uint8_t>>>;
    const auto together = [&] {
        Loaded got;
        m_mgr->LoadEntries(indices, [&](std::size_t k, bool ok, const std::vector<uint8_t>& b) {
            EXPECT_EQ(k, got.size());
            got.emplace_back(ok, b);
        });
        return got;
    };
    const auto alone = [&] {
        Loaded got;
        for (uint32_t index : indices) {
            std::vector<uint8_t> bytes;
            const bool ok = m_mgr->LoadEntry(index, bytes);
            got.emplace_back(ok, ok ? bytes : std::vector<uint8_t>{});
        }
        return got;
    };
    EXPECT_EQ(together(), alone());
    PakMgr::PakEntry third;
    ASSERT_TRUE(m_mgr->GetEntry(2, third));
    std::filesystem::resize_file(m_dir / "a.pak", third.offset + third.storedSize);
    const Loaded afterCut = together();
    EXPECT_EQ(afterCut, alone());
    EXPECT_EQ(std::count_if(afterCut.begin(), afterCut.end(), [](auto& e) { return e.first; }), 6);
}

TEST_F(PakFixture, TableMayLieAnywhere) {
    Forge::SavePak(
        m_dir / "a.pak",
        {{.path = "\\a", .data = Forge::Bytes("aa")}, {.path = "\\b", .data = Forge::Bytes("bbb")}},
        {.table = PakLayout::Table::AfterHeader});
    Open();
    EXPECT_EQ(BytesOf("b"), Forge::Bytes("bbb"));
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
    // The archives that add nothing because they can't be read are said, each once, with why;
    // one whose table holds no record reads as an empty archive.
    const std::vector<PakMgr::SkippedArchive> skipped = mgr.GetSkippedArchives();
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_EQ(skipped[0].name, "3_table_past_end.pak");
    EXPECT_TRUE(
        skipped[0].reason.starts_with("its file table at byte 2147483647 runs past its end ("))
        << skipped[0].reason;
    EXPECT_EQ(skipped[1].name, "4_short_header.pak");
    EXPECT_EQ(skipped[1].reason, "100 bytes, shorter than the 268-byte header");
    EXPECT_EQ(skipped[2].name, "5_empty.pak");
    EXPECT_EQ(skipped[2].reason, "empty");
    mgr.Clear();
    EXPECT_TRUE(mgr.GetSkippedArchives().empty());
}

// Why a folder opens nothing, for the line after "where is the game ?!"; a folder whose
// every archive is skipped opens nothing.
TEST_F(PakFixture, AFolderWithoutAReadableArchiveOpensNothing) {
    TestUtil::TempDir empty;
    Forge::SaveBytes(m_dir / "a.pak", {});
    Forge::SavePak(m_dir / "b.PAK", {{.path = "\\b", .data = Forge::Bytes("b")}}, {.cutTo = 300});
    Forge::SaveBytes(m_dir / "notes.txt", Forge::Bytes("not an archive"));
    PakMgr::IPakMgr& mgr = Open();
    EXPECT_FALSE(m_opened);
    EXPECT_EQ(mgr.GetFileCount(), 0u);
    EXPECT_EQ(mgr.GetSkippedArchives().size(), 2u);
    const std::pair<std::string, std::string> rows[] = {
        {m_dir.Path(), "no readable .pak in it"},
        {empty.Path(), "no .pak in it"},
        {empty / "missing", "no such folder"},
        {m_dir / "notes.txt", "not a folder"},
    };
    for (const auto& [folder, why] : rows) {
        EXPECT_EQ(PakMgr::WhyNoGame(folder), why) << folder;
    }
}

TEST_F(PakFixture, AnArchiveThatCantBeOpenedIsSkipped) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens unreadable files";
    }
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\a", .data = Forge::Bytes("a")}});
    Forge::SavePak(m_dir / "b.pak", {{.path = "\\b", .data = Forge::Bytes("b")}});
    Forge::SavePak(m_dir / "c.pak", {{.path = "\\c", .data = Forge::Bytes("c")}});
    std::filesystem::permissions(m_dir / "b.pak", std::filesystem::perms::none);
    PakMgr::IPakMgr& mgr = Open();
    EXPECT_TRUE(m_opened);
    EXPECT_EQ(mgr.GetFileCount(), 2u);
    ASSERT_EQ(mgr.GetSkippedArchives().size(), 1u);
    EXPECT_EQ(mgr.GetSkippedArchives()[0].reason, "can't be opened: Permission denied");
}

// A folder given relative to the current directory reads from wherever the current
// directory is later: its archives are opened only on the first read.
TEST_F(PakFixture, ARelativeFolderReadsAfterTheCurrentDirectoryChanged) {
    Forge::SavePak(m_dir / "a.pak", {{.path = "\\a", .data = Forge::Bytes("abc")}});
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(m_dir.Path()).parent_path());
    m_mgr = PakMgr::CreatePakMgr();
    const bool opened = m_mgr->Open(std::filesystem::path(m_dir.Path()).filename().string());
    std::filesystem::current_path("/");
    m_mgr->BuildTree();
    auto r = opened ? Load("a") : nullptr;
    std::filesystem::current_path(before);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Contents(*r), Forge::Bytes("abc"));
    PakMgr::PakEntry e;
    ASSERT_TRUE(m_mgr->GetEntry(0, e));
    EXPECT_EQ(e.pakPath, m_dir / "a.pak");
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

// A sink may read through the manager while the entries after it wait in the run being
// handed out: a bigger entry read from the sink must not move the run's bytes. A call that
// would change the manager under the loop is refused, and the loop goes on.
TEST_F(PakFixture, TheSinkMayReadThroughTheManagerButNotChangeIt) {
    std::vector<PakFile> files;
    for (unsigned i = 0; i < 8; ++i) {
        files.push_back({.path = "\\run" + std::to_string(i), .data = Pattern(60000, i)});
    }
    files.push_back({.path = "\\big", .data = Pattern(3u << 20, 99)});
    Forge::SavePak(m_dir / "a.pak", files);
    PakMgr::IPakMgr& mgr = Open();
    const std::vector<uint32_t> run = {0, 1, 2, 3, 4, 5, 6, 7};
    PakMgr::ITreeNode* big = PakMgr::FindPath(mgr, "big");
    std::vector<std::vector<uint8_t>> got(run.size());
    std::vector<ErrorKind> refused;
    mgr.LoadEntries(run, [&](std::size_t k, bool ok, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(ok) << k;
        got[k] = bytes;
        if (k == 0) {
            auto reader = mgr.LoadFile(big);
            ASSERT_NE(reader, nullptr);
            EXPECT_EQ(Contents(*reader), files.back().data);
            std::vector<uint8_t> again;
            EXPECT_TRUE(mgr.LoadEntry(8, again));
            const uint32_t inner[] = {8, 1};
            std::size_t innerCount = 0;
            mgr.LoadEntries(inner, [&](std::size_t, bool innerOk, const std::vector<uint8_t>&) {
                innerCount += innerOk;
            });
            EXPECT_EQ(innerCount, 2u);
        }
        if (k == 1) {
            for (const auto& change : std::initializer_list<std::function<void()>>{
                     [&] { mgr.Clear(); }, [&] { mgr.Open(m_dir.Path()); },
                     [&] { mgr.BuildTree(); }}) {
                try {
                    change();
                } catch (const Except& e) {
                    refused.push_back(e.Kind());
                }
            }
        }
    });
    for (std::size_t k = 0; k < run.size(); ++k) {
        EXPECT_EQ(got[k], files[k].data) << k;
    }
    EXPECT_EQ(refused, std::vector<ErrorKind>(3, ErrorKind::Input));
    EXPECT_EQ(mgr.GetFileCount(), files.size());
    EXPECT_EQ(PakMgr::FindPath(mgr, "big"), big);
}

namespace {

// A manager opened on one archive holding the given paths (with tiny contents).
class TreeFixture : public ::testing::Test {
protected:
    PakMgr::IPakMgr& Open(const std::vector<std::string>& paths) {
        std::vector<Forge::PakFile> files;
        for (const auto& p : paths) {
            files.push_back({.path = p, .data = Forge::Bytes("data of " + p)});
        }
        Forge::SavePak(m_dir / "a.pak", files);
        m_mgr = PakMgr::CreatePakMgr();
        EXPECT_TRUE(m_mgr->Open(m_dir.Path()));
        EXPECT_TRUE(m_mgr->BuildTree());
        return *m_mgr;
    }
    PakMgr::ITreeNode* Root() { return m_mgr->GetRoot(); }
    PakMgr::ITreeNode* Child(PakMgr::ITreeNode* node, const std::string& name) {
        PakMgr::ITreeNode* child = node->FindChild(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    TestUtil::TempDir m_dir;
    std::unique_ptr<PakMgr::IPakMgr> m_mgr;
};

struct Recorder final : PakMgr::ITreeCtrl {
    std::vector<std::string> calls;
    void* InsertNode(PakMgr::ITreeNode* node, void* parentItem, bool isLeaf) override {
        std::string parent =
            parentItem ? static_cast<PakMgr::ITreeNode*>(parentItem)->GetName() : "-";
        calls.push_back("insert " + node->GetName() + " under " + parent + (isLeaf ? " leaf" : ""));
        return node;
    }
    void SetNodeData(void* item, PakMgr::ITreeNode* node) override {
        calls.push_back(std::string("data ") + (item == node ? "same" : "other"));
    }
};

}  // namespace

TEST_F(TreeFixture, ChildrenKeepCreationOrderAndFirstIndex) {
    Open({"\\a\\x.skn", "\\a\\y.msh", "\\b\\z", "\\a\\x.skn"});
    EXPECT_EQ(Root()->GetName(), "root");
    EXPECT_EQ(Root()->GetIndex(), -1);
    EXPECT_EQ(Root()->GetParent(), nullptr);
    PakMgr::ITreeNode* a = Child(Root(), "a");
    EXPECT_EQ(a->GetIndex(), 0);
    EXPECT_EQ(a->GetChildCount(), 2u);
    EXPECT_EQ(Child(a, "x.skn")->GetIndex(), 0);  // the duplicate at index 3 adds nothing
    EXPECT_EQ(Child(a, "y.msh")->GetIndex(), 1);
    EXPECT_EQ(Child(Root(), "b")->GetIndex(), 2);
    EXPECT_EQ(Child(a, "y.msh")->GetParent(), a);

    std::vector<std::string> order;
    PakMgr::ForEachChild(a, [&](PakMgr::ITreeNode* c) { order.push_back(c->GetName()); });
    EXPECT_EQ(order, (std::vector<std::string>{"x.skn", "y.msh"}));
}

// Names compare byte for byte; empty components make empty-named nodes; a file and a
// folder of one name share a node.
TEST_F(TreeFixture, NodeNames) {
    Open({"\\A\\x", "\\a\\x", "\\a\\X", "\\e\\\\b", "\\c\\", "\\", "\\f\\b", "\\f\\b\\c"});
    EXPECT_NE(Child(Root(), "A"), Child(Root(), "a"));
    EXPECT_EQ(Child(Root(), "a")->GetChildCount(), 2u);
    EXPECT_EQ(Root()->FindChild("x"), nullptr);
    EXPECT_NE(Child(Child(Root(), "e"), "")->FindChild("b"), nullptr);
    EXPECT_NE(Child(Root(), "c")->FindChild(""), nullptr);
    EXPECT_NE(Root()->FindChild(""), nullptr);  // a path that is only the separator
    PakMgr::ITreeNode* b = Child(Child(Root(), "f"), "b");
    EXPECT_EQ(b->GetIndex(), 6);
    EXPECT_EQ(b->GetChildCount(), 1u);
}

TEST_F(TreeFixture, FindNodeTriesDirectChildrenFirstThenDepthFirst) {
    Open({"\\d1\\deep\\x", "\\d2\\x", "\\d3\\y", "\\x", "\\d4\\q\\y", "\\d5\\y"});
    EXPECT_EQ(Root()->FindNode("x")->GetIndex(), 3);  // the shallow one wins
    EXPECT_EQ(Child(Root(), "d1")->FindNode("x")->GetIndex(), 0);
    EXPECT_EQ(Root()->FindNode("y")->GetIndex(), 2);  // depth-first in child order
    EXPECT_EQ(Root()->FindNode("nothing"), nullptr);
    EXPECT_EQ(Child(Root(), "d1")->FindNode("d1"), nullptr);  // the node itself is excluded
}

TEST_F(TreeFixture, WalkReportsParentsBeforeChildren) {
    PakMgr::IPakMgr& mgr = Open({"\\a\\x", "\\b"});
    Recorder rec;
    mgr.WalkTree(&rec);
    EXPECT_EQ(rec.calls,
              (std::vector<std::string>{"insert a under -", "data same", "insert x under a leaf",
                                        "data same", "insert b under - leaf", "data same"}));
}

// A tree built from no entries is an empty root that a walk makes no call for; the next
// build starts from it.
TEST_F(TreeFixture, RebuildStartsFromAnEmptyRoot) {
    PakMgr::IPakMgr& mgr = Open({"\\old\\a"});
    mgr.Clear();
    EXPECT_FALSE(mgr.BuildTree());
    EXPECT_EQ(Root()->GetName(), "root");
    Recorder rec;
    mgr.WalkTree(&rec);
    EXPECT_TRUE(rec.calls.empty());
    TestUtil::TempDir other;
    Forge::SavePak(other / "b.pak", {{.path = "\\new\\b", .data = Forge::Bytes("b")}});
    ASSERT_TRUE(mgr.Open(other.Path()) && mgr.BuildTree());
    EXPECT_EQ(Root()->FindChild("old"), nullptr);
    auto reader = mgr.LoadFile(Root()->FindNode("b"));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->GetSize(), 1u);
}

TEST_F(TreeFixture, PathHelpers) {
    PakMgr::IPakMgr& mgr = Open({"\\chars\\hero\\hero.skn", "\\ui\\\xd6\xd0\xce\xc4.dds"});
    PakMgr::ITreeNode* hero = PakMgr::FindPath(mgr, "chars/hero/hero.skn");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(PakMgr::FindPath(mgr, "\\chars\\hero\\hero.skn"), hero);
    EXPECT_EQ(PakMgr::FindPath(mgr, "/chars/hero"), hero->GetParent());
    EXPECT_EQ(PakMgr::FindPath(mgr, "chars/HERO"), nullptr);
    EXPECT_NE(PakMgr::FindPath(mgr, "ui/中文.dds"), nullptr);  // UTF-8 in, code page 936 inside
    EXPECT_EQ(PakMgr::NodePath(hero, '/'), "chars/hero/hero.skn");
}

TEST(Names, SafeFileNamesStayInsideTheFolder) {
    EXPECT_EQ(PakMgr::SafeFileName(".."), "_");
    EXPECT_EQ(PakMgr::SafeFileName("."), "_");
    EXPECT_EQ(PakMgr::SafeFileName(""), "_");
    EXPECT_EQ(PakMgr::SafeFileName("a/b"), "a_b");
    EXPECT_EQ(PakMgr::SafeFileName("a\\b"), "a_b");
    EXPECT_EQ(PakMgr::SafeFileName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(PakMgr::SafeFileName("\xd6\xd0\xce\xc4.dds"), "中文.dds");
    EXPECT_EQ(Base::GbkToUtf8("ok\xff"), "ok?");  // a cut-off sequence
    EXPECT_EQ(Base::Utf8ToGbk("中文"), "\xd6\xd0\xce\xc4");
}
