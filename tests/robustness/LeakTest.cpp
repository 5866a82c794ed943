// Ten thousand failed loads of broken files in one process leave nothing behind: in the
// sanitizer build LeakSanitizer checks at exit; elsewhere the heap in use is compared.
#include <malloc.h>

#include "RobustnessUtil.h"

namespace {

using Robustness::Game;

constexpr int kLoads = 10000;
constexpr int kWarmUp = 100;
// Room for allocator bookkeeping; a leak of even one small block per load is far larger.
constexpr std::size_t kHeapSlack = 64 * 1024;

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

// Runs the load kLoads times and returns how much the heap in use grew after the warm-up
// loads (0 when the allocator doesn't report it, as under AddressSanitizer).
template <typename Load>
std::size_t HeapGrowth(Load load) {
    for (int i = 0; i < kWarmUp; ++i) {
        load();
    }
    const std::size_t before = HeapInUse();
    for (int i = kWarmUp; i < kLoads; ++i) {
        load();
    }
    const std::size_t after = HeapInUse();
    return after > before ? after - before : 0;
}

std::vector<Forge::PakFile> BrokenFiles() {
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf({});
    std::vector<uint8_t> mesh = Forge::WriteMesh(SceneFiles::MeshOf({}));
    mesh.resize(mesh.size() - 50);
    std::vector<uint8_t> animation = Forge::WriteAnimation(SceneFiles::AnimationOf({}));
    animation.resize(animation.size() - 20);
    Forge::SkinDesc skin = SceneFiles::SkinOf({});
    skin.meshName = "cut.msh";
    files.push_back({"\\chars\\hero\\cut.msh", mesh});
    files.push_back({"\\chars\\hero\\cut.skn", Forge::WriteSkin(skin)});
    files.push_back({"\\chars\\hero\\cut.ani", animation});
    Forge::PakFile badStream{"\\chars\\hero\\bad.skn", Forge::Bytes("never inflated")};
    badStream.stream = Forge::Bytes("not a zlib stream at all");
    files.push_back(badStream);
    return files;
}

class BrokenLoads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Robustness::Gl(), nullptr); }

    // Loads that must throw: a load that succeeds is counted as a failure of the test.
    template <typename Load>
    std::size_t Repeat(Load load) {
        int succeeded = 0;
        const std::size_t growth = HeapGrowth([&] {
            try {
                load();
                ++succeeded;
            } catch (const Except&) {
            }
        });
        EXPECT_EQ(succeeded, 0);
        return growth;
    }

    Game m_game{BrokenFiles()};
    std::unique_ptr<Model::IVellModel> m_model = Model::CreateModel();
};

TEST_F(BrokenLoads, SkinWhoseMeshIsCutShort) {
    // The skin and its texture load each time before the mesh fails.
    PakMgr::ITreeNode* node = m_game.Node("chars/hero/cut.skn");
    EXPECT_LE(Repeat([&] { m_model->Load(node); }), kHeapSlack);
}

TEST_F(BrokenLoads, SkinThatDoesNotInflate) {
    PakMgr::ITreeNode* node = m_game.Node("chars/hero/bad.skn");
    EXPECT_LE(Repeat([&] { m_model->Load(node); }), kHeapSlack);
}

TEST_F(BrokenLoads, AnimationCutShort) {
    m_model->Load(m_game.Node(SceneFiles::kSkinArg));
    PakMgr::ITreeNode* node = m_game.Node("chars/hero/cut.ani");
    EXPECT_LE(Repeat([&] { m_model->LoadAnimation(node); }), kHeapSlack);
}

}  // namespace
