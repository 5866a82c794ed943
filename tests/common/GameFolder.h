// A game folder of writer-made archives opened in the program's one archive manager, and
// the message of a loader's Except.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

namespace TestUtil {

class Game {
public:
    explicit Game(const std::vector<Forge::PakFile>& files) {
        Forge::SavePak(m_dir / "data.pak", files);
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        if (!mgr->Open(m_dir.Path()) || !mgr->BuildTree()) {
            ADD_FAILURE() << "the test archive does not open";
        }
    }
    ~Game() { PakMgr::GetPakMgr()->Clear(); }
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The node at a '/'-separated path, or null.
    PakMgr::ITreeNode* Node(const std::string& path) {
        return PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
    }
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

}  // namespace TestUtil
