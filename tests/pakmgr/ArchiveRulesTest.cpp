// Archive order, retried opens, the stored-bytes buffer, names cut to the file system's limit,
// the memory reader and Except.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <random>

#include "AllocationCounter.h"
#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

using PakMgr::CMemoryRead;
using TestUtil::Repeat;

namespace {

// A manager opened on `dir` after writing a.pak there with `files`, its tree built.
std::unique_ptr<PakMgr::IPakMgr> OpenOne(const TestUtil::TempDir& dir,
                                         const std::vector<Forge::PakFile>& files) {
    Forge::SavePak(dir / "a.pak", files);
    auto mgr = PakMgr::CreatePakMgr();
    EXPECT_TRUE(mgr->Open(dir.Path()) && mgr->BuildTree());
    return mgr;
}

struct OrderRow {
    std::vector<std::string> names;  // as created
    std::vector<std::string> order;  // as listed
};

TEST(ArchiveOrder, LettersCompareInUpperCaseOtherBytesUnsigned) {
    // clang-format off
    const OrderRow rows[] = {
        {{"D.PAK", "a.pak"}, {"a.pak", "D.PAK"}},
        {{"c_.pak", "ca.pak"}, {"ca.pak", "c_.pak"}},
        {{"b.pak", "B.pak"}, {"B.pak", "b.pak"}},  // equal when folded: raw bytes
        {{"\xb0\xa1.pak", "z.pak", "000_patch.pak"}, {"000_patch.pak", "z.pak", "\xb0\xa1.pak"}},
        {{"a_.pak", "A.pak", "ab.pak"}, {"A.pak", "ab.pak", "a_.pak"}},
    };
    // clang-format on
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
    auto mgr = OpenOne(dir, {{.path = "\\a", .data = Forge::Bytes("abc")}});
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

// A record's sizes are held against the archive and its stored bytes before anything is sized
// by them.
TEST(ArchiveRead, RecordSizesAreCheckedBeforeAllocating) {
    const std::vector<uint8_t> data(64, 'x');
    TestUtil::TempDir dir;
    auto mgr = OpenOne(dir, {{.path = "\\huge", .data = data, .inflatedSize = 0xF0000000u},
                             {.path = "\\long", .data = data, .storedSize = 0x7FFFFFF0u}});
    for (uint32_t index = 0; index < 2; ++index) {
        AllocationCounter::ResetLargest();
        std::vector<uint8_t> out;
        EXPECT_FALSE(mgr->LoadEntry(index, out)) << index;
        EXPECT_FALSE(mgr->LoadFile(PakMgr::FindPath(*mgr, index == 0 ? "huge" : "long")));
        EXPECT_LT(AllocationCounter::Largest(), 1u << 20) << index;
    }
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
    ASSERT_TRUE(mgr->Open(dir.Path()) && mgr->BuildTree());
    const std::size_t before = HeapInUse();
    EXPECT_EQ(mgr->LoadFile(PakMgr::FindPath(*mgr, "big"))->GetSize(), kSize);
    {
        std::vector<uint8_t> out;
        EXPECT_TRUE(mgr->LoadEntry(0, out));
    }
    EXPECT_LT(HeapInUse(), before + (1u << 20));
}

struct HeadRow {
    const char* what;
    std::size_t size;   // the file's inflated size
    std::size_t max;    // the head asked for
    int cutStream = 0;  // stored bytes taken off the stream's end
    bool unknownSize = false;
    bool garbage = false;  // the stream is not zlib at all
    bool ok = true;
    bool badChecksum = false;  // the stream's last byte, in its checksum, is changed
};

// A head costs what it shows: a stream cut past the head still gives it; asking for all of it
// finds the cut, and a head that is the whole file is checked to the stream's end and checksum
// as LoadFile checks it. Unknown sizes inflate whole to learn the size. A folder has no head.
TEST(ArchiveRead, AHeadInflatesOnlyWhatItShows) {
    // clang-format off
    const HeadRow rows[] = {
        {"shorter than asked", 100, 1000},
        {"head of a big file", 3u << 20, 4096},
        {"head exactly the file", 5000, 5000},
        {"unknown size", 200000, 10, 0, true},
        {"cut past the head", 3u << 20, 4096, 2000},
        {"cut, all asked", 3u << 20, 3u << 20, 2000, false, false, false},
        {"cut, unknown size", 200000, 10, 2000, true, false, false},
        {"not zlib", 5000, 100, 0, false, true, false},
        {"checksum cut, all asked", 5000, 5000, 4, false, false, false},
        {"checksum cut, more asked", 100, 1000, 4, false, false, false},
        {"checksum cut past the head", 3u << 20, 4096, 4},
        {"checksum wrong, all asked", 5000, 8000, 0, false, false, false, true},
        {"checksum wrong past the head", 3u << 20, 4096, 0, false, false, true, true},
    };
    // clang-format on
    for (const HeadRow& row : rows) {
        std::vector<uint8_t> data(row.size);
        std::mt19937 random(3);
        for (auto& b : data) {
            b = static_cast<uint8_t>(random() % 16);  // compressible, not trivially
        }
        std::vector<uint8_t> stream =
            row.garbage ? std::vector<uint8_t>(600, 0xAB) : Forge::ZlibCompress(data);
        stream.resize(stream.size() - static_cast<std::size_t>(row.cutStream));
        if (row.badChecksum) {
            stream.back() ^= 0x5A;
        }
        TestUtil::TempDir dir;
        const std::optional<uint32_t> unknown = 0;
        // The folder's first file comes first in the table: its node carries that index.
        auto mgr = OpenOne(dir, {{.path = "\\d\\e", .data = data},
                                 {.path = "\\f",
                                  .data = data,
                                  .inflatedSize = row.unknownSize ? unknown : std::nullopt,
                                  .stream = stream}});
        std::vector<uint8_t> head;
        uint64_t total = 0;
        ASSERT_EQ(mgr->LoadHead(PakMgr::FindPath(*mgr, "f"), row.max, head, total), row.ok)
            << row.what;
        if (row.ok) {
            EXPECT_EQ(total, row.size) << row.what;
            const std::size_t shown = std::min(row.size, row.max);
            EXPECT_TRUE(std::equal(head.begin(), head.end(), data.begin(), data.begin() + shown) &&
                        head.size() == shown)
                << row.what;
        }
        EXPECT_FALSE(mgr->LoadHead(mgr->GetRoot(), row.max, head, total));
        EXPECT_FALSE(mgr->LoadHead(PakMgr::FindPath(*mgr, "d"), row.max, head, total));
        EXPECT_TRUE(mgr->LoadHead(PakMgr::FindPath(*mgr, "d/e"), row.max, head, total));
    }
}

struct NameRow {
    std::vector<std::string> names;  // archive bytes, given in this order within one folder
    std::vector<std::string> safe;   // UTF-8
    std::size_t renamed = 0;         // names given ~N because another name had theirs
};

// Every name handed out in one folder is claimed, cut or not: a name that meets one given
// before gets ~1, ~2... and is reported; the same name given again is the same file.
TEST(Names, LongNamesAreCutOnACharacterKeepingTheExtensionAndNoTwoMeet) {
    const std::string zhong = "\xd6\xd0";  // 中 in code page 936, three bytes in UTF-8
    const std::string longGbk = Repeat(zhong, 125) + ".dds";  // 254 bytes, 379 in UTF-8
    const std::string a300 = Repeat("a", 300);
    const std::string cut100 = Repeat(zhong, 100) + ".dds";  // 304 bytes in UTF-8: cut to 253
    const std::string fits83 = Repeat(zhong, 83) + ".dds";   // 253 bytes: not cut
    // clang-format off
    const NameRow rows[] = {
        {{Repeat("a", 255)}, {Repeat("a", 255)}},
        {{a300 + ".dds"}, {Repeat("a", 251) + ".dds"}},
        {{longGbk}, {Repeat("中", 83) + ".dds"}},
        {{a300}, {Repeat("a", 255)}},
        {{a300 + "." + Repeat("x", 40)}, {Repeat("a", 255)}},  // no extension that long
        // Cut names that meet get ~1, ~2; the same name again gets its own cut name.
        {{a300 + "1.obj", a300 + "2.obj", a300 + "1.obj", a300 + "3.obj"}, {Repeat("a", 251) + ".obj", Repeat("a", 249) + "~1.obj", Repeat("a", 251) + ".obj", Repeat("a", 249) + "~2.obj"}, 2},
        {{longGbk, Repeat(zhong, 126) + ".dds"}, {Repeat("中", 83) + ".dds", Repeat("中", 83) + "~1.dds"}, 1},
        // A cut name meets an uncut one, whichever comes first.
        {{cut100, fits83}, {Repeat("中", 83) + ".dds", Repeat("中", 83) + "~1.dds"}, 1},
        {{fits83, cut100, fits83}, {Repeat("中", 83) + ".dds", Repeat("中", 83) + "~1.dds", Repeat("中", 83) + ".dds"}, 1},
        // Names made the same by the making safe.
        {{".", "..", "", "_", "."}, {"_", "_~1", "_~2", "_~3", "_"}, 3},
        {{"_", "."}, {"_", "_~1"}, 1},
        {{"a/b.txt", "a\\b.txt", "a_b.txt"}, {"a_b.txt", "a_b~1.txt", "a_b~2.txt"}, 2},
        {{"x.dds", "x.dds"}, {"x.dds", "x.dds"}},
    };
    // clang-format on
    for (const NameRow& row : rows) {
        PakMgr::CutNames names;
        for (std::size_t i = 0; i < row.names.size(); ++i) {
            const std::string safe = PakMgr::SafeFileName(row.names[i], &names);
            EXPECT_EQ(safe, row.safe[i]) << i;
            EXPECT_LE(safe.size(), PakMgr::kMaxFileNameBytes);
        }
        EXPECT_EQ(names.Renames().size(), row.renamed) << row.safe[0];
        for (const PakMgr::CutNames::Renamed& renamed : names.Renames()) {
            EXPECT_NE(std::find(row.names.begin(), row.names.end(), renamed.source),
                      row.names.end());
            EXPECT_NE(std::find(row.safe.begin(), row.safe.end(), renamed.name), row.safe.end());
        }
    }
}

}  // namespace

namespace {

CMemoryRead TenBytes() {
    const std::array<uint8_t, 10> bytes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    return CMemoryRead(bytes.data(), bytes.size());
}

}  // namespace

TEST(MemoryRead, ReadsAcrossAndPastTheEnd) {
    CMemoryRead r = TenBytes();
    uint8_t buf[4] = {};
    r.Read(buf, 4);
    EXPECT_EQ(buf[3], 3);
    r.Read(buf, 4);
    EXPECT_EQ(buf[0], 4);
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    r.Read(buf, 4);  // only two bytes remain; the rest stays as it was
    EXPECT_EQ(buf[0], 8);
    EXPECT_EQ(buf[1], 9);
    EXPECT_EQ(buf[2], 0xEE);
    EXPECT_EQ(r.Tell(), 10u);
    r.Read(buf, 4);
    EXPECT_EQ(buf[0], 8);
    EXPECT_EQ(r.Tell(), 10u);
    EXPECT_FALSE(r.IsEmpty());
    r.Seek(4, 0);
    r.Read(nullptr, 0);  // an empty vector's data(): no memcpy from null, even of 0 bytes
    EXPECT_EQ(r.Tell(), 4u);
}

// Seek from the start, the position and the end; an unknown origin leaves the position, one
// before the start wraps round and reads nothing, past the end is accepted.
TEST(MemoryRead, SeekOriginsAndWrapAround) {
    CMemoryRead r = TenBytes();
    const std::array<std::array<int64_t, 3>, 7> rows = {
        {{2, 2, 8}, {-3, 1, 5}, {7, 0, 7}, {1, 9, 7}, {0, 0, 0}, {-1, 1, 4294967295}, {-5, 2, 15}}};
    for (const auto& [offset, origin, at] : rows) {
        r.Seek(static_cast<int32_t>(offset), static_cast<int>(origin));
        EXPECT_EQ(r.Tell(), at) << offset << " from " << origin;
        uint8_t byte = 0xAB;
        r.Read(&byte, 1);
        EXPECT_EQ(byte, at < 10 ? at : 0xAB);
        r.Seek(static_cast<int32_t>(at), 0);
    }
}

// SaveToFile writes every byte whatever the position; Clear empties for good.
TEST(MemoryRead, SaveToFileAndClear) {
    TestUtil::TempDir dir;
    CMemoryRead r = TenBytes();
    r.Seek(5, 0);
    ASSERT_TRUE(r.SaveToFile(dir / "out.bin"));
    EXPECT_EQ(TestUtil::ReadBytes(dir / "out.bin").size(), 10u);
    r.Clear();
    EXPECT_TRUE(r.IsEmpty() && r.GetSize() == 0 && r.Tell() == 0);
}

TEST(Except, FormatsAndCutsLongMessages) {
    Except e(ErrorKind::Version, "unknown .msh file version: %d", 7);
    EXPECT_STREQ(e.what(), "unknown .msh file version: 7");
    std::string long_(5000, 'x');
    Except cut(ErrorKind::Input, "%s", long_.c_str());
    EXPECT_EQ(cut.Message().size(), Except::kMaxLength);
    EXPECT_EQ(Except::Literal(ErrorKind::Input, "100% sure").Message(), "100% sure");
}
