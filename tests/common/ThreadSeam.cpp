#include "ThreadSeam.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "base/parallel.h"

namespace {

constexpr std::size_t kNoLimit = ThreadSeam::kAny;
std::atomic<std::size_t> g_left{kNoLimit};
std::atomic<std::size_t> g_made{0};
std::mutex g_holdMutex;
std::condition_variable g_released;
bool g_held = false;

void WaitWhileHeld() {
    std::unique_lock lock(g_holdMutex);
    g_released.wait(lock, [] { return !g_held; });
}

}  // namespace

namespace ThreadSeam {

Allow::Allow(std::size_t threads) {
    g_left = threads;
}

Allow::~Allow() {
    g_left = kNoLimit;
}

Hold::Hold() {
    std::lock_guard lock(g_holdMutex);
    g_held = true;
}

void Hold::Release() {
    {
        std::lock_guard lock(g_holdMutex);
        g_held = false;
    }
    g_released.notify_all();
}

std::size_t Made() {
    return g_made;
}

}  // namespace ThreadSeam

// Replaces the library's weak definition for the whole program.
std::thread Base::StartThread(std::function<void()> body) {
    std::size_t left = g_left.load();
    while (left != kNoLimit && left != 0 && !g_left.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                "no thread for the test");
    }
    ++g_made;
    return std::thread([body = std::move(body)] {
        WaitWhileHeld();
        body();
    });
}
