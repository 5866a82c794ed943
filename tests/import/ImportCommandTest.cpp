// vell import end to end, as the Blender add-on and the README use it: one line per file
// written under OUT_DIR, "limit:" lines, "nothing changed" with no folder made, and errors
// with status 1 and nothing written.
#include <filesystem>

#include "ImportFixture.h"
#include "dds/dds.h"

namespace {

using namespace ImportTest;
namespace fs = std::filesystem;

struct Command {
    TestUtil::TempDir dir;
    std::string out = dir / "mod";

    TestUtil::RunResult Import(const std::vector<uint8_t>& glb,
                               std::vector<std::string> extra = {}) {
        const std::string path = dir / "edited.glb";
        Forge::SaveBytes(path, glb);
        std::vector<std::string> args = {"import", TestUtil::SampleGameFolder(), path,
                                         "--onto", "chars\\hero\\hero.skn",      "-o",
                                         out};
        args.insert(args.end(), extra.begin(), extra.end());
        return TestUtil::Vell(args);
    }
};

TEST(ImportCommand, AnUneditedFileChangesNothingAndMakesNoFolder) {
    Command c;
    const TestUtil::RunResult r = c.Import(TestUtil::ReadBytes(Exported({})));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "nothing changed\n");
    EXPECT_FALSE(fs::exists(c.out));
}

TEST(ImportCommand, AnEditWritesItsFileUnderItsArchivePathReadyToPack) {
    Command c;
    TestUtil::Glb glb = ExportedGlb();
    const int pos = PrimitiveOf(glb, "head")["attributes"]["POSITION"];
    glb.At<float>(pos)[1] += 0.05f;
    const TestUtil::RunResult r = c.Import(glb.Bytes(), {"--explain"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "wrote chars/hero/hero.msh\n");
    EXPECT_NE(r.err.find("explain: sub-mesh 'head': vertex 0 differs in position"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(TestUtil::FilesIn(c.out), std::vector<std::string>{"chars"});
    EXPECT_TRUE(fs::is_regular_file(c.out + "/chars/hero/hero.msh"));
    const TestUtil::RunResult pack = TestUtil::Vell({"pack", c.out, "-o", c.dir / "000_mod.pak"});
    EXPECT_EQ(pack.exitCode, 0) << pack.err;
}

TEST(ImportCommand, AllWritesEveryFileAsTheBasesBytes) {
    Command c;
    const TestUtil::RunResult r = c.Import(TestUtil::ReadBytes(Exported({})), {"--all"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("wrote chars/hero/hero.skn\n"), std::string::npos);
    EXPECT_EQ(TestUtil::ReadBytes(c.out + "/chars/hero/hero.msh"), ArchiveBytes(kHeroMesh));
}

TEST(ImportCommand, ALimitAppliedHasItsLine) {
    Command c;
    TestUtil::Glb glb = ExportedGlb();
    nlohmann::json& head = PrimitiveOf(glb, "head");
    const std::size_t n = glb.Count(head["attributes"]["POSITION"]);
    std::vector<uint8_t> joints(4 * n, 0);
    std::vector<float> weights(4 * n, 0);
    for (std::size_t v = 0; v < n; ++v) {
        joints[4 * v] = 20;
        weights[4 * v] = 0.5f;
    }
    float* w = glb.At<float>(head["attributes"]["WEIGHTS_0"]);
    for (std::size_t i = 0; i < 4 * n; ++i) {
        w[i] = 0.125f;
    }
    head["attributes"]["JOINTS_1"] = glb.Add(joints, 5121, "VEC4", n);
    head["attributes"]["WEIGHTS_1"] = glb.Add(TestUtil::BytesOf(weights), 5126, "VEC4", n);
    const TestUtil::RunResult r = c.Import(glb.Bytes());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("wrote chars/hero/hero.msh\nlimit: sub-mesh 'head': "), std::string::npos)
        << r.out;
}

TEST(ImportCommand, ABrokenFileIsStatus1WithNothingWritten) {
    Command c;
    TestUtil::Glb glb = ExportedGlb();
    glb.At<uint16_t>(PrimitiveOf(glb, "head")["indices"])[0] = 65000;
    const TestUtil::RunResult r = c.Import(glb.Bytes());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.starts_with("vell: ")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(c.out));
}

// An added mesh with an image the base lacks: its texture comes after the skin.
TEST(ImportCommand, ANewImageIsWrittenAsATextureAfterTheSkin) {
    Command c;
    TestUtil::Glb glb = ExportedGlb();
    const std::vector<uint8_t> grey(8 * 8 * 4, 90);
    AddMesh(glb, "hat", AddMaterial(glb, "hat", AddImage(glb, "hat", Dds::EncodePng(8, 8, grey))));
    const TestUtil::RunResult r = c.Import(glb.Bytes());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "wrote chars/hero/hero.msh\nwrote chars/hero/hero.skn\n"
              "wrote chars/hero/tex/hat.dds\n");
    EXPECT_TRUE(fs::is_regular_file(c.out + "/chars/hero/tex/hat.dds"));
}

TEST(ImportCommand, ANewImageThatIsNoPictureIsStatus1WithNothingWritten) {
    Command c;
    TestUtil::Glb glb = ExportedGlb();
    AddMesh(glb, "hat", AddMaterial(glb, "hat", AddImage(glb, "hat", {'n', 'o', 'p', 'e'})));
    const TestUtil::RunResult r = c.Import(glb.Bytes());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.starts_with("vell: image hat can't be decoded")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(c.out));
}

}  // namespace
