// Helpers of the model reader tests: in-memory readers, the version switch, game folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "forge/pak.h"
#include "model/records.h"
#include "pakmgr/pakmgr.h"

namespace ModelTest {

inline PakMgr::CMemoryRead Reader(const std::vector<uint8_t>& bytes) {
    return PakMgr::CMemoryRead(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Sets the process-wide version switch for one test and restores it afterwards.
class VersionCheck {
public:
    explicit VersionCheck(bool on) : m_saved(Model::versionCheck) { Model::versionCheck = on; }
    ~VersionCheck() { Model::versionCheck = m_saved; }
    VersionCheck(const VersionCheck&) = delete;
    VersionCheck& operator=(const VersionCheck&) = delete;

private:
    bool m_saved;
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

// Every prefix of `bytes` shorter than the whole is either read or rejected with Except;
// returns how many were rejected.
inline std::size_t RejectedPrefixes(const std::vector<uint8_t>& bytes, std::size_t step,
                                    const std::function<void(PakMgr::IRead&)>& read) {
    std::size_t rejected = 0;
    for (std::size_t cut = 0; cut < bytes.size(); cut += step) {
        PakMgr::CMemoryRead reader(bytes.data(), static_cast<uint32_t>(cut));
        try {
            read(reader);
        } catch (const Except&) {
            ++rejected;
        }
    }
    return rejected;
}

// A game folder with one archive, opened in the program's archive manager.
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

    PakMgr::ITreeNode* Node(const std::string& path) {
        return PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
    }
    const std::string& Folder() const { return m_dir.Path(); }

private:
    TestUtil::TempDir m_dir;
};

}  // namespace ModelTest
