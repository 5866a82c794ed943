#include <gtest/gtest.h>

#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

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
    struct Names final : PakMgr::ITreeVisitor {
        std::vector<std::string>& out;
        explicit Names(std::vector<std::string>& o) : out(o) {}
        void Visit(PakMgr::ITreeNode* c) override { out.push_back(c->GetName()); }
    } names(order);
    a->ForEachChild(&names);
    EXPECT_EQ(order, (std::vector<std::string>{"x.skn", "y.msh"}));
}

TEST_F(TreeFixture, NamesCompareByteForByte) {
    Open({"\\A\\x", "\\a\\x", "\\a\\X"});
    EXPECT_NE(Child(Root(), "A"), Child(Root(), "a"));
    EXPECT_EQ(Child(Root(), "a")->GetChildCount(), 2u);
    EXPECT_EQ(Root()->FindChild("x"), nullptr);
}

TEST_F(TreeFixture, EmptyComponentsMakeEmptyNamedNodes) {
    Open({"\\a\\\\b", "\\c\\", "\\"});
    PakMgr::ITreeNode* empty = Child(Child(Root(), "a"), "");
    EXPECT_NE(empty->FindChild("b"), nullptr);
    EXPECT_NE(Child(Root(), "c")->FindChild(""), nullptr);
    EXPECT_NE(Root()->FindChild(""), nullptr);  // a path that is only the separator
}

TEST_F(TreeFixture, FileAndFolderOfOneNameShareANode) {
    Open({"\\a\\b", "\\a\\b\\c"});
    PakMgr::ITreeNode* b = Child(Child(Root(), "a"), "b");
    EXPECT_EQ(b->GetIndex(), 0);
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

TEST(Tree, WalkOfAnEmptyTreeMakesNoCall) {
    auto mgr = PakMgr::CreatePakMgr();
    EXPECT_FALSE(mgr->BuildTree());
    EXPECT_EQ(mgr->GetRoot()->GetName(), "root");
    Recorder rec;
    mgr->WalkTree(&rec);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(TreeFixture, RebuildStartsFromAnEmptyRoot) {
    PakMgr::IPakMgr& mgr = Open({"\\old\\a"});
    TestUtil::TempDir other;
    Forge::SavePak(other / "b.pak", {{.path = "\\new\\b", .data = Forge::Bytes("b")}});
    mgr.Clear();
    ASSERT_TRUE(mgr.Open(other.Path()));
    ASSERT_TRUE(mgr.BuildTree());
    EXPECT_EQ(Root()->FindChild("old"), nullptr);
    PakMgr::ITreeNode* b = Root()->FindNode("b");
    ASSERT_NE(b, nullptr);
    auto reader = mgr.LoadFile(b);
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
    EXPECT_EQ(PakMgr::SafeFileName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(PakMgr::SafeFileName("\xd6\xd0\xce\xc4.dds"), "中文.dds");
    EXPECT_EQ(PakMgr::GbkToUtf8("ok\xff"), "ok?");  // a cut-off sequence
    EXPECT_EQ(PakMgr::Utf8ToGbk("中文"), "\xd6\xd0\xce\xc4");
}
