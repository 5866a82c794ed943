// Archive order, retried opens, the stored-bytes buffer and names cut to the file system's limit.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <unistd.h>

#include <filesystem>
#include <random>

#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

namespace {

struct OrderRow {
    std::vector<std::string> names;  // as created
    std::vector<std::string> order;  // as listed
};

TEST(ArchiveOrder, LettersCompareInUpperCaseOtherBytesUnsigned) {
    const OrderRow rows[] = {
        {{"D.PAK", "a.pak"}, {"a.pak", "D.PAK"}},
        {{"c_.pak", "ca.pak"}, {"ca.pak", "c_.pak"}},
        {{"b.pak", "B.pak"}, {"B.pak", "b.pak"}},  // equal when folded: raw bytes
        {{"\xb0\xa1.pak", "z.pak", "000_patch.pak"}, {"000_patch.pak", "z.pak", "\xb0\xa1.pak"}},
        {{"a_.pak", "A.pak", "ab.pak"}, {"A.pak", "ab.pak", "a_.pak"}},
    };
    for (const OrderRow& row : rows) {
        TestUtil::TempDir dir;
        for (const std::string& name : row.names) {
            Forge::SavePak(dir / name, {{.path = "\\x", .data = Forge::Bytes(name)}});
        }
        auto mgr = PakMgr::CreatePakMgr();
        ASSERT_TRUE(mgr->Open(dir.Path()));
        EXPECT_EQ(mgr->GetArchiveNames(), row.order) << row.names[0];
        // The first archive listed gives the path its bytes.
        mgr->BuildTree();
        auto reader = mgr->LoadFile(PakMgr::FindPath(*mgr, "x"));
        ASSERT_NE(reader, nullptr);
        std::string text(reader->GetSize(), '\0');
        reader->Read(text.data(), reader->GetSize());
        EXPECT_EQ(text, row.order[0]);
    }
}

// Lowers the open-file limit to the lowest free descriptor, so that the next open fails.
class NoMoreFiles {
public:
    NoMoreFiles() {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        const int lowest = ::dup(0);
        ::close(lowest);
        rlimit low = m_saved;
        low.rlim_cur = static_cast<rlim_t>(lowest);
        ::setrlimit(RLIMIT_NOFILE, &low);
    }
    ~NoMoreFiles() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved{};
};

TEST(ArchiveOpen, AFailedOpenIsTriedAgainOnTheNextLoad) {
    TestUtil::TempDir dir;
    Forge::SavePak(dir / "a.pak", {{.path = "\\a", .data = Forge::Bytes("abc")}});
    auto mgr = PakMgr::CreatePakMgr();
    ASSERT_TRUE(mgr->Open(dir.Path()));
    mgr->BuildTree();
    PakMgr::ITreeNode* node = PakMgr::FindPath(*mgr, "a");
    {
        NoMoreFiles limit;
        EXPECT_EQ(mgr->LoadFile(node), nullptr);
    }
    EXPECT_NE(mgr->LoadFile(node), nullptr);
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST(ArchiveRead, AHugeEntrysStoredBytesAreNotKept) {
    constexpr std::size_t kSize = 20u << 20;  // random bytes: stored at about their own size
    std::vector<uint8_t> data(kSize);
    std::mt19937 random(7);
    for (auto& b : data) {
        b = static_cast<uint8_t>(random());
    }
    TestUtil::TempDir dir;
    Forge::SavePak(dir / "a.pak", {{.path = "\\big", .data = data}});
    std::vector<uint8_t>().swap(data);
    auto mgr = PakMgr::CreatePakMgr();
    ASSERT_TRUE(mgr->Open(dir.Path()));
    mgr->BuildTree();
    const std::size_t before = HeapInUse();
    EXPECT_EQ(mgr->LoadFile(PakMgr::FindPath(*mgr, "big"))->GetSize(), kSize);
    {
        std::vector<uint8_t> out;
        EXPECT_TRUE(mgr->LoadEntry(0, out));
    }
    EXPECT_LT(HeapInUse(), before + (1u << 20));
}

std::string Repeat(std::string_view part, std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) {
        s += part;
    }
    return s;
}

struct NameRow {
    std::vector<std::string> names;  // archive bytes, given in this order within one export
    std::vector<std::string> safe;   // UTF-8
};

TEST(Names, LongNamesAreCutOnACharacterKeepingTheExtensionAndNeverMeet) {
    const std::string zhong = "\xd6\xd0";  // 中 in code page 936, three bytes in UTF-8
    const std::string longGbk = Repeat(zhong, 125) + ".dds";  // 254 bytes, 379 in UTF-8
    const std::string a300 = Repeat("a", 300);
    const NameRow rows[] = {
        {{Repeat("a", 255)}, {Repeat("a", 255)}},
        {{a300 + ".dds"}, {Repeat("a", 251) + ".dds"}},
        {{longGbk}, {Repeat("中", 83) + ".dds"}},
        {{a300}, {Repeat("a", 255)}},
        {{a300 + "." + Repeat("x", 40)}, {Repeat("a", 255)}},  // no extension that long
        // Cut names that meet get ~1, ~2; the same name again gets its own cut name.
        {{a300 + "1.obj", a300 + "2.obj", a300 + "1.obj", a300 + "3.obj"},
         {Repeat("a", 251) + ".obj", Repeat("a", 249) + "~1.obj", Repeat("a", 251) + ".obj",
          Repeat("a", 249) + "~2.obj"}},
        {{longGbk, Repeat(zhong, 126) + ".dds"},
         {Repeat("中", 83) + ".dds", Repeat("中", 83) + "~1.dds"}},
    };
    for (const NameRow& row : rows) {
        PakMgr::CutNames cuts;
        for (std::size_t i = 0; i < row.names.size(); ++i) {
            const std::string safe = PakMgr::SafeFileName(row.names[i], &cuts);
            EXPECT_EQ(safe, row.safe[i]) << i;
            EXPECT_LE(safe.size(), PakMgr::kMaxFileNameBytes);
        }
    }
}

}  // namespace
