#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "TestUtil.h"
#include "pakmgr/pakmgr.h"

using PakMgr::CMemoryRead;

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

TEST(MemoryRead, SeekOriginsAndWrapAround) {
    CMemoryRead r = TenBytes();
    r.Seek(2, 2);
    EXPECT_EQ(r.Tell(), 8u);
    r.Seek(-3, 1);
    EXPECT_EQ(r.Tell(), 5u);
    r.Seek(7, 0);
    EXPECT_EQ(r.Tell(), 7u);
    r.Seek(1, 9);  // unknown origin: unchanged
    EXPECT_EQ(r.Tell(), 7u);

    r.Seek(0, 0);
    r.Seek(-1, 1);
    EXPECT_EQ(r.Tell(), 4294967295u);
    uint8_t byte = 0xAB;
    r.Read(&byte, 1);
    EXPECT_EQ(byte, 0xAB);
    EXPECT_EQ(r.Tell(), 4294967295u);

    r.Seek(-5, 2);  // past the end: accepted, reads copy nothing
    EXPECT_EQ(r.Tell(), 15u);
}

// SaveToFile writes every byte whatever the position; Clear empties for good.
TEST(MemoryRead, SaveToFileAndClear) {
    TestUtil::TempDir dir;
    CMemoryRead r = TenBytes();
    r.Seek(5, 0);
    ASSERT_TRUE(r.SaveToFile(dir / "out.bin"));
    EXPECT_EQ(TestUtil::ReadBytes(dir / "out.bin").size(), 10u);
    EXPECT_EQ(r.Tell(), 5u);
    EXPECT_FALSE(r.SaveToFile(dir / "no/such/folder/out.bin"));
    r.Clear();
    EXPECT_EQ(r.GetSize(), 0u);
    EXPECT_EQ(r.Tell(), 0u);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_TRUE(r.SaveToFile(dir / "empty.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir / "empty.bin"));
}

TEST(Except, FormatsAndCutsLongMessages) {
    Except e(ErrorKind::Version, "unknown .msh file version: %d", 7);
    EXPECT_STREQ(e.what(), "unknown .msh file version: 7");
    std::string long_(5000, 'x');
    Except cut(ErrorKind::Input, "%s", long_.c_str());
    EXPECT_EQ(cut.Message().size(), Except::kMaxLength);
    EXPECT_EQ(Except::Literal(ErrorKind::Input, "100% sure").Message(), "100% sure");
}
