// Helpers of the fault tests: a game folder of the writers' character in the program's
// archive manager, one headless GL context for textures and frames, file checks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GameFolder.h"
#include "TestUtil.h"
#include "forge/pak.h"
#include "forge/scene.h"
#include "glcontext/glcontext.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"

namespace Robustness {

inline constexpr char kArchive[] = "data.pak";

// The headless context the textures of the loaded skins and the frame captures use; made
// once, current on the test thread for the whole program.
inline GlContext::Headless* Gl() {
    static std::unique_ptr<GlContext::Headless> context = [] {
        std::string error;
        auto made = GlContext::Headless::Create(64, 48, &error);
        if (!made) {
            std::fprintf(stderr, "no headless GL context: %s\n", error.c_str());
        }
        return made;
    }();
    return context.get();
}

// A game folder with one archive, opened in the program's archive manager (the one the
// model reads through).
class Game {
public:
    explicit Game(const std::vector<Forge::PakFile>& files) {
        Forge::SavePak(ArchivePath(), files);
        Reopen();
    }
    ~Game() { PakMgr::GetPakMgr()->Clear(); }

    // Clear, Open and BuildTree, as File / Open does.
    void Reopen() {
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        if (!mgr->Open(m_dir.Path()) || !mgr->BuildTree()) {
            ADD_FAILURE() << "the test archive does not open";
        }
    }
    PakMgr::ITreeNode* Node(const std::string& path) const {
        return PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
    }
    std::string ArchivePath() const { return m_dir / kArchive; }
    const std::string& Folder() const { return m_dir.Path(); }

private:
    TestUtil::TempDir m_dir;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A regular file, so that any path below it can't be created, whoever runs the test.
inline std::string BlockingFile(const TestUtil::TempDir& dir) {
    const std::string path = dir / "a-file";
    std::ofstream(path) << "not a folder";
    return path;
}

using TestUtil::ErrorOf;

// Sub-mesh names as the parts menu lists them.
class Names final : public Model::IStringList {
public:
    void AddString(const std::string& name) override { names.push_back(name); }
    std::vector<std::string> names;
};

inline std::vector<std::string> SubMeshesOf(Model::IVellModel& model) {
    Names list;
    model.EnumSubMeshes(&list);
    return list.names;
}

inline std::vector<std::string> AnimationsOf(Model::IVellModel& model) {
    Names list;
    model.EnumAnimations(&list);
    return list.names;
}

}  // namespace Robustness
