// Helpers of the model reader tests: in-memory readers, the version switch, game folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "GameFolder.h"
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

using TestUtil::ErrorOf;

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

using TestUtil::Game;

}  // namespace ModelTest
