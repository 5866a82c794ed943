// The fuzzers' headless GL context, for targets whose code may reach a driver.
#pragma once

#include <memory>
#include <string>

#include "glcontext/glcontext.h"

namespace Fuzz {

// One headless context for the whole run, current on the fuzzing thread; false when the
// machine has none (textures are then made without GL calls reaching a driver).
inline bool HaveGl() {
    static std::unique_ptr<GlContext::Headless> context = [] {
        std::string error;
        return GlContext::Headless::Create(16, 16, &error);
    }();
    return context != nullptr;
}

}  // namespace Fuzz
