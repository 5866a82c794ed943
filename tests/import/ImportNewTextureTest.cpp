// An added mesh whose material shows an image the base lacks: the image becomes a new
// texture beside the base's, in their format, and the new material names it; an image of
// the base stays the base's texture.
#include <algorithm>
#include <cstdlib>

#include "ImportFixture.h"
#include "dds/dds.h"

namespace {

using namespace ImportTest;
using TestUtil::Glb;

constexpr char kTextures[] = "chars/hero/tex/";
// How far a DXT block's colour may come back from a flat tile's (565 steps and the
// encoder's end points).
constexpr int kDxtTolerance = 12;
constexpr uint8_t kOpaque = 255;
constexpr uint8_t kHalf = 128;

struct Picture {
    uint32_t width = 36;  // nine tiles by five: edge blocks of a size not a power of two
    uint32_t height = 20;
    uint8_t alpha = kOpaque;
    int shift = 0;  // another picture of the same size
};

// Tiles of four pixels square (one DXT block each), each of its own colour.
std::vector<uint8_t> Pixels(const Picture& p) {
    std::vector<uint8_t> rgba(std::size_t{p.width} * p.height * 4);
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            const int tile = static_cast<int>(x / 4 + 9 * (y / 4)) + p.shift;
            uint8_t* px = &rgba[(std::size_t{y} * p.width + x) * 4];
            px[0] = static_cast<uint8_t>(40 + 37 * tile % 200);
            px[1] = static_cast<uint8_t>(220 - 23 * tile % 180);
            px[2] = static_cast<uint8_t>(tile % 2 ? 30 : 200);
            px[3] = p.alpha;
        }
    }
    return rgba;
}

int AddPicture(Glb& glb, const std::string& name, const Picture& p = {}) {
    return AddImage(glb, name, Dds::EncodePng(p.width, p.height, Pixels(p)));
}

int ImageNamed(const Glb& glb, const std::string& name) {
    for (std::size_t i = 0; i < glb.json["images"].size(); ++i) {
        if (glb.json["images"][i]["name"] == name) {
            return static_cast<int>(i);
        }
    }
    throw std::runtime_error("no image " + name);
}

Model::SkinDesc WrittenSkin(const Import::ImportPlan& plan) {
    const Import::ImportedFile* file = FileOf(plan, kHero);
    EXPECT_NE(file, nullptr);
    return file ? Model::ReadSkinDesc(file->bytes) : Model::SkinDesc{};
}

template <class T>
T ParamOf(const Model::MaterialDesc& material, const std::string& name) {
    for (const Model::SkinParam& p : material.params) {
        if (p.name == name) {
            return std::get<T>(p.value);
        }
    }
    ADD_FAILURE() << "no parameter " << name;
    return {};
}

// The new texture holds the picture, within what DXT keeps, in the format given.
void ExpectTexture(const Import::ImportPlan& plan, const std::string& path, const Picture& p,
                   Dds::DdsKind kind) {
    const Import::ImportedFile* file = FileOf(plan, path);
    ASSERT_NE(file, nullptr) << path;
    PakMgr::CMemoryRead read(file->bytes.data(), static_cast<uint32_t>(file->bytes.size()));
    const Dds::DdsImage image = Dds::ParseDds(read, true);
    EXPECT_EQ(image.info.kind, kind);
    ASSERT_EQ(image.info.width, p.width);
    ASSERT_EQ(image.info.height, p.height);
    const std::vector<uint8_t> rgba = Dds::DecodeToRgba(image);
    const std::vector<uint8_t> want = Pixels(p);
    ASSERT_EQ(rgba.size(), want.size());
    int worst = 0;
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        worst = std::max(worst, std::abs(int{rgba[i]} - int{want[i]}));
    }
    EXPECT_LE(worst, kDxtTolerance) << path;
}

void Hat(Glb& glb) {
    const int material = AddMaterial(glb, "hat_paint", AddPicture(glb, "Hat"));
    glb.json["materials"][material]["extras"]["skinColor"] = {1, 1, 1, 1};
    AddMesh(glb, "hat", material);
}

// The hat's material is the first one with the glTF's skin colour, wearing hat.dds (the
// image's name in lower case, as the model looks textures up), a DXT1 like the face's.
void CheckHat(const Import::ImportPlan& plan) {
    const Model::SkinDesc skin = WrittenSkin(plan);
    const Model::SkinDesc base = Model::ReadSkinDesc(ArchiveBytes(kHero));
    ASSERT_EQ(skin.materials.size(), base.materials.size() + 1);
    const Model::MaterialDesc& hat = skin.materials.back();
    EXPECT_EQ(ParamOf<std::string>(hat, "g_DiffuseTex"), "hat.dds");
    EXPECT_EQ(ParamOf<Model::Vec4>(hat, "g_SkinColor"), (Model::Vec4{1, 1, 1, 1}));
    ASSERT_EQ(hat.params.size(), base.materials[0].params.size());
    for (std::size_t p = 0; p < hat.params.size(); ++p) {
        if (hat.params[p].name != "g_DiffuseTex" && hat.params[p].name != "g_SkinColor") {
            EXPECT_EQ(hat.params[p].value, base.materials[0].params[p].value) << hat.params[p].name;
        }
    }
    ExpectTexture(plan, std::string(kTextures) + "hat.dds", {}, Dds::DdsKind::DXT1);
    EXPECT_NE(std::find(plan.reasons.begin(), plan.reasons.end(),
                        "image Hat is none of the base's textures: it becomes "
                        "chars/hero/tex/hat.dds"),
              plan.reasons.end());
}

// A see-through image in a base format without alpha: DXT5 keeps it.
void Veil(Glb& glb) {
    AddMesh(glb, "veil", AddMaterial(glb, "veil", AddPicture(glb, "veil", {.alpha = kHalf})));
}

void CheckVeil(const Import::ImportPlan& plan) {
    ExpectTexture(plan, std::string(kTextures) + "veil.dds", {.alpha = kHalf}, Dds::DdsKind::DXT5);
}

// A new material showing the cloth's image wears the cloth's texture: nothing new.
void ClothHat(Glb& glb) {
    AddMesh(glb, "hat", AddMaterial(glb, "hat_cloth", ImageNamed(glb, "hero_cloth")));
}

void CheckClothHat(const Import::ImportPlan& plan) {
    EXPECT_EQ(ParamOf<std::string>(WrittenSkin(plan).materials.back(), "g_DiffuseTex"),
              "hero_cloth.dds");
}

// The sword's texture lies below the hero's folder, where the model looks its textures up:
// the new one is numbered.
void SwordNamed(Glb& glb) {
    AddMesh(glb, "blade", AddMaterial(glb, "blade", AddPicture(glb, "hero_sword")));
}

void CheckSwordNamed(const Import::ImportPlan& plan) {
    EXPECT_EQ(ParamOf<std::string>(WrittenSkin(plan).materials.back(), "g_DiffuseTex"),
              "hero_sword_2.dds");
    ExpectTexture(plan, std::string(kTextures) + "hero_sword_2.dds", {}, Dds::DdsKind::DXT1);
}

// Two hats share one image, a third shows another of the same name (a tool's copy): two
// textures.
void ThreeHats(Glb& glb) {
    const int one = AddMaterial(glb, "felt", AddPicture(glb, "hat"));
    AddMesh(glb, "hat", one);
    AddMesh(glb, "cap", one);
    AddMesh(glb, "hood", AddMaterial(glb, "wool", AddPicture(glb, "hat.001", {.shift = 3})));
}

void CheckThreeHats(const Import::ImportPlan& plan) {
    const Model::SkinDesc skin = WrittenSkin(plan);
    ASSERT_GE(skin.materials.size(), 3u);
    const std::size_t n = skin.materials.size();
    EXPECT_EQ(ParamOf<std::string>(skin.materials[n - 3], "g_DiffuseTex"), "hat.dds");
    EXPECT_EQ(ParamOf<std::string>(skin.materials[n - 2], "g_DiffuseTex"), "hat.dds");
    EXPECT_EQ(ParamOf<std::string>(skin.materials[n - 1], "g_DiffuseTex"), "hat_2.dds");
    ExpectTexture(plan, std::string(kTextures) + "hat_2.dds", {.shift = 3}, Dds::DdsKind::DXT1);
}

const std::string kTex = kTextures;
const EditRow kRows[] = {
    {"NewImageBecomesATexture", Hat, {kHeroMesh, kHero, kTex + "hat.dds"}, CheckHat},
    {"SeeThroughImageKeepsItsAlpha", Veil, {kHeroMesh, kHero, kTex + "veil.dds"}, CheckVeil},
    {"BaseImageIsTheBasesTexture", ClothHat, {kHeroMesh, kHero}, CheckClothHat},
    {"NameOfAnotherFileIsNumbered",
     SwordNamed,
     {kHeroMesh, kHero, kTex + "hero_sword_2.dds"},
     CheckSwordNamed},
    {"OneTextureAnImage",
     ThreeHats,
     {kHeroMesh, kHero, kTex + "hat.dds", kTex + "hat_2.dds"},
     CheckThreeHats},
};

class AddedImage : public ::testing::TestWithParam<EditRow> {};

TEST_P(AddedImage, IsTheBasesTextureOrANewOne) {
    ExpectEditWrites(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Import, AddedImage, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
