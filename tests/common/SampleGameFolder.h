// The sample game folder shared by the tests that read it: made once per ctest run by the
// `sample_game_make` fixture, which names it in VELL_SAMPLE_GAME. A test program started by
// hand makes its own in a temporary folder. Tests only read it.
#pragma once

#include <cstdlib>
#include <string>

#include "TestUtil.h"
#include "forge/sample.h"

namespace TestUtil {

inline const std::string& SampleGameFolder() {
    static const std::string folder = [] {
        if (const char* made = std::getenv("VELL_SAMPLE_GAME"); made != nullptr && *made != 0) {
            return std::string(made);
        }
        static TempDir own;
        Forge::SaveSampleGame(Forge::MakeSampleGame(), own.Path());
        return own.Path();
    }();
    return folder;
}

}  // namespace TestUtil
