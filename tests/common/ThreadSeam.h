// Thread creation that fails on purpose: a program that links ThreadSeam.cpp makes every
// worker thread through it, and a test says how many more the system "can" make.
#pragma once

#include <cstddef>

namespace ThreadSeam {

// As many threads as asked for.
inline constexpr std::size_t kAny = static_cast<std::size_t>(-1);

// While one lives, at most `threads` more threads are made (kAny: no limit); the next fails
// as std::thread fails when memory or the process limit runs out.
class Allow {
public:
    explicit Allow(std::size_t threads);
    ~Allow();
    Allow(const Allow&) = delete;
    Allow& operator=(const Allow&) = delete;
};

// While one lives (until Release), the threads made begin their work only when it lets them:
// a test sees what the program does while its workers have not begun.
class Hold {
public:
    Hold();
    ~Hold() { Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    void Release();
};

// Threads made through the seam since the program started.
std::size_t Made();

}  // namespace ThreadSeam
