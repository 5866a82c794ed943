// Makes a headless context the way vell does: exit 0 when it can, 1 and the message on
// stderr when it can't. The tests run it with EGL's environment changed.
#include <cstdio>

#include "glcontext/glcontext.h"

int main() {
    std::string error;
    if (!GlContext::Headless::Create(16, 16, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
