// A game folder of writer-made archives opened in the program's one archive manager, and
// the small pieces every test program shares: a loader's error, the version switch, readers
// over bytes, lists the model fills.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "TestUtil.h"
#include "forge/pak.h"
#include "model/model.h"
#include "model/records.h"
#include "pakmgr/pakmgr.h"

namespace TestUtil {

inline constexpr char kArchive[] = "data.pak";

class Game {
public:
    explicit Game(const std::vector<Forge::PakFile>& files) {
        Forge::SavePak(ArchivePath(), files);
        Reopen();
    }
    ~Game() { PakMgr::GetPakMgr()->Clear(); }
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Clear, Open and BuildTree, as File / Open does.
    void Reopen() {
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        if (!mgr->Open(m_dir.Path()) || !mgr->BuildTree()) {
            ADD_FAILURE() << "the test archive does not open";
        }
    }
    // The node at a '/'-separated path, or null.
    PakMgr::ITreeNode* Node(const std::string& path) const {
        return PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
    }
    std::string ArchivePath() const { return m_dir / kArchive; }
    const std::string& Folder() const { return m_dir.Path(); }

private:
    TempDir m_dir;
};

// The message of the Except the call throws; fails the test when it throws nothing.
inline std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Except& e) {
        return e.what();
    }
    ADD_FAILURE() << "no Except thrown";
    return {};
}

// Sets the process-wide version switch for one test and restores it afterwards.
class VersionGuard {
public:
    explicit VersionGuard(bool on) : m_saved(Model::versionCheck) { Model::versionCheck = on; }
    ~VersionGuard() { Model::versionCheck = m_saved; }
    VersionGuard(const VersionGuard&) = delete;
    VersionGuard& operator=(const VersionGuard&) = delete;

private:
    bool m_saved;
};

// A bind matrix that moves by (x, y, z).
inline Model::Matrix Translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

inline PakMgr::CMemoryRead Reader(const std::vector<uint8_t>& bytes) {
    return PakMgr::CMemoryRead(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// A mesh, skin or skeleton read from bytes; a skin by its names only (without a node no
// texture is looked up, so no GL is needed).
template <typename Record>
Record Read(const std::vector<uint8_t>& bytes) {
    Record record;
    PakMgr::CMemoryRead reader = Reader(bytes);
    if constexpr (std::is_same_v<Record, Model::Mesh>) {
        Model::ReadMesh(record, reader);
    } else if constexpr (std::is_same_v<Record, Model::Skin>) {
        Model::ReadSkin(record, reader, nullptr);
    } else {
        Model::ReadAnimation(reader, record);
    }
    return record;
}

// A body part as Model::LoadPart leaves it; a null node (a path not found) throws.
struct Part {
    Model::Mesh mesh;
    Model::Skin skin;
};

inline Part LoadPart(PakMgr::ITreeNode* node) {
    Part part;
    Model::LoadPart(node, part.mesh, part.skin);
    return part;
}

// Sub-mesh or animation names as the parts menu and the animation list show them.
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

}  // namespace TestUtil
