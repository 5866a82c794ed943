// The OBJ export of a character with its attachment: what is written doesn't depend on the
// node the export is started from (the viewer passes the file right-clicked), and the artists'
// OBJ (--mtl) holds the attachment with its textures.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "GameFolder.h"
#include "SampleGameFolder.h"
#include "TestUtil.h"
#include "model/object.h"

namespace {

constexpr char kSkin[] = "chars/hero/hero.skn";
constexpr char kSword[] = "chars/hero/weapon/hero_sword.skn";

// Every file of the folder with its bytes.
std::map<std::string, std::string> Contents(const TestUtil::TempDir& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : TestUtil::FilesIn(dir.Path())) {
        files[name] = TestUtil::ReadText(dir / name);
    }
    return files;
}

class ObjAttachment : public ::testing::Test {
protected:
    ObjAttachment() {
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        EXPECT_TRUE(mgr->Open(TestUtil::SampleGameFolder()) && mgr->BuildTree());
        model.Load(Node(kSkin));
        model.LoadAttachment(Node(kSword));
    }
    ~ObjAttachment() override { PakMgr::GetPakMgr()->Clear(); }

    static PakMgr::ITreeNode* Node(const std::string& path) {
        return PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
    }

    Model::CVellModel model;
};

// Started from the skin or from the sword (the sword's folder holds none of the body's
// textures), the same files; the plain OBJ leaves the sword out, --mtl writes it with its
// texture and glow.
TEST_F(ObjAttachment, TheFilesDependOnTheModelNotOnTheNodeItIsExportedFrom) {
    for (const bool materials : {false, true}) {
        SCOPED_TRACE(materials ? "--mtl" : "plain");
        TestUtil::TempDir fromSkin, fromSword;
        model.ExportObj("c", Node(kSkin), fromSkin.Path(), materials);
        model.ExportObj("c", Node(kSword), fromSword.Path(), materials);
        const std::map<std::string, std::string> files = Contents(fromSkin);
        const std::map<std::string, std::string> others = Contents(fromSword);
        // Names, then bytes: a difference is told without printing the files.
        EXPECT_EQ(TestUtil::FilesIn(fromSword.Path()), TestUtil::FilesIn(fromSkin.Path()));
        for (const auto& [name, bytes] : files) {
            EXPECT_TRUE(others.contains(name) && others.at(name) == bytes) << name;
        }
        EXPECT_TRUE(files.contains("hero_cloth.dds"));
        EXPECT_EQ(files.contains("hero_sword.dds"), materials);
        for (const char* png : {"hero_sword.png", "hero_sword_glow.png"}) {
            EXPECT_EQ(files.contains(png), materials) << png;
        }
    }
}

}  // namespace
