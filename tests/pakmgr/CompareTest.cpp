// Comparing two games: what a worker holds is bounded by bytes, even where every record of a
// crafted archive claims the same large stored range; memory running out makes paths
// unreadable instead of ending the process; progress goes up one call at a time to the total.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

namespace {

using Forge::PakFile;

// Bytes that deflate doesn't shrink.
std::vector<uint8_t> Noise(std::size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

std::string Name(std::size_t i) {
    return "\\big\\" + std::to_string(i) + ".bin";
}

// One file of `size` noise bytes, then `copies` records whose stored range is that file's:
// an archive of about `size` bytes whose records claim `copies` times as much.
std::vector<PakFile> Overlapping(std::size_t size, std::size_t copies, uint32_t seed) {
    std::vector<PakFile> files;
    PakFile blob{.path = Name(0), .data = Noise(size, seed)};
    blob.stream = Forge::ZlibCompress(blob.data, 0);
    const auto stored = static_cast<uint32_t>(blob.stream->size());
    files.push_back(std::move(blob));
    for (std::size_t i = 1; i <= copies; ++i) {
        files.push_back({.path = Name(i),
                         .inflatedSize = static_cast<uint32_t>(size),
                         .storedSize = stored,
                         .offset = static_cast<uint32_t>(Forge::kPakHeaderSize),
                         .stream = std::vector<uint8_t>{}});
    }
    return files;
}

struct Games {
    Games(const std::vector<PakFile>& before, const std::vector<PakFile>& after)
        : older(PakMgr::CreatePakMgr()), newer(PakMgr::CreatePakMgr()) {
        Forge::SavePak(oldDir / "data.pak", before);
        Forge::SavePak(newDir / "data.pak", after);
        EXPECT_TRUE(older->Open(oldDir.Path()) && older->BuildTree());
        EXPECT_TRUE(newer->Open(newDir.Path()) && newer->BuildTree());
    }
    TestUtil::TempDir oldDir;
    TestUtil::TempDir newDir;
    std::unique_ptr<PakMgr::IPakMgr> older;
    std::unique_ptr<PakMgr::IPakMgr> newer;
};

constexpr std::size_t kBlob = 512u << 10;
constexpr std::size_t kCopies = 300;
// Far below what a count of pairs would hold (hundreds of records of the whole archive),
// far above what a part of a few megabytes needs.
constexpr std::size_t kAllocationLimit = 32u << 20;

TEST(Compare, OverlappingRecordsAreComparedInPartsBoundedByBytes) {
    const Games games(Overlapping(kBlob, kCopies, 1), Overlapping(kBlob, kCopies, 2));
    std::vector<std::size_t> progress;
    PakMgr::Comparison result;
    {
        AllocationCounter::FailAbove failAbove(kAllocationLimit);
        result =
            PakMgr::Compare(*games.older, *games.newer, [&](std::size_t done, std::size_t total) {
                EXPECT_EQ(total, kCopies + 1);
                progress.push_back(done);
            });
    }
    EXPECT_TRUE(result.unreadable.empty());
    EXPECT_EQ(result.changes.size(), kCopies + 1);
    EXPECT_EQ(result.unchanged, 0u);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), kCopies + 1);

    // The same bytes on both sides are equal without inflating.
    const Games same(Overlapping(kBlob, kCopies, 1), Overlapping(kBlob, kCopies, 1));
    AllocationCounter::FailAbove failAbove(kAllocationLimit);
    const PakMgr::Comparison equal = PakMgr::Compare(*same.older, *same.newer);
    EXPECT_TRUE(equal.changes.empty());
    EXPECT_TRUE(equal.unreadable.empty());
    EXPECT_EQ(equal.unchanged, kCopies + 1);
}

// Where no pair fits in memory, every common path is unreadable: said, never a crash, and
// the paths only one game holds are still listed.
TEST(Compare, MemoryRunningOutMakesThePathsUnreadable) {
    std::vector<PakFile> after = Overlapping(kBlob, 20, 2);
    after.push_back({.path = "\\new.txt", .data = Forge::Bytes("new")});
    const Games games(Overlapping(kBlob, 20, 1), after);
    std::size_t last = 0;
    PakMgr::Comparison result;
    {
        AllocationCounter::FailAbove failAbove(kBlob / 2);
        result = PakMgr::Compare(*games.older, *games.newer,
                                 [&](std::size_t done, std::size_t) { last = done; });
    }
    ASSERT_EQ(result.unreadable.size(), 21u);
    EXPECT_EQ(PakMgr::NodePath(result.unreadable.front(), '/'), "big/0.bin");
    ASSERT_EQ(result.changes.size(), 1u);
    EXPECT_EQ(result.changes[0].path, "new.txt");
    EXPECT_EQ(last, 21u);  // the line ends on the total, failed parts counted
}

// A job cut into parts runs them in any order, on any thread; a part never run counts as
// unchanged, a failed one as unreadable.
TEST(Compare, JobPartsCoverEveryCommonPath) {
    std::vector<PakFile> before;
    std::vector<PakFile> after;
    for (std::size_t i = 0; i < 1000; ++i) {
        before.push_back({.path = Name(i), .data = Forge::Bytes("before " + std::to_string(i))});
        after.push_back({.path = Name(i), .data = Forge::Bytes("after " + std::to_string(i))});
    }
    const Games games(before, after);
    PakMgr::CompareJob job(*games.older, *games.newer);
    ASSERT_GT(job.Parts(), 2u);
    std::size_t files = 0;
    for (std::size_t part = 0; part < job.Parts(); ++part) {
        files += job.FilesOf(part);
    }
    EXPECT_EQ(files, 1000u);
    EXPECT_EQ(job.CommonFiles(), 1000u);
    for (std::size_t part = job.Parts(); part-- > 1;) {
        job.Run(part);
    }
    job.Failed(1);
    const PakMgr::Comparison result = job.Result();
    EXPECT_EQ(result.unchanged, job.FilesOf(0));
    EXPECT_EQ(result.unreadable.size(), job.FilesOf(1));
    EXPECT_EQ(result.changes.size(), 1000u - job.FilesOf(0) - job.FilesOf(1));
}

}  // namespace
