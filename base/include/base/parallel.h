// Work spread over threads: the indices 0 to count - 1 handed out in turn to a few workers.
// What one index throws is caught and kept as that index's failure; the others go on. When
// the system makes fewer threads than asked for, fewer work: down to the caller alone.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/except.h"

namespace Base {

// The most workers a caller may ask for: beyond this threads only fight over the cores and
// the disk.
inline constexpr unsigned kMaxWorkers = 64;

// One worker per core, at least one and at most kMaxWorkers.
unsigned DefaultWorkers();

// An index whose work threw.
struct Failure {
    std::size_t index = 0;
    std::string message;       // as Base::Describe gives it
    std::exception_ptr error;  // to throw again on the caller's thread
};

// Workers under way. The threads start at once; the caller may work beside them (Help), or
// only watch (Ended, Finished) as a window does while it shows progress.
class Workers {
public:
    using Work = std::function<void(std::size_t index)>;

    // Starts up to `threads` threads (no more than `count`). A thread the system can't make
    // is not an error: the ones made do the work, and with none the caller must Help.
    Workers(std::size_t count, unsigned threads, Work work);
    // Stops and waits for the indices under way.
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // The threads that were made.
    unsigned Threads() const { return static_cast<unsigned>(m_threads.size()); }
    // Does one index on the calling thread; false when none is left to begin.
    bool Help();
    // No index begins from now on; those under way finish.
    void Stop();
    // Indices done or failed so far.
    std::size_t Ended() const;
    // Nothing runs and nothing is left to begin: every index ended, or Stop came.
    bool Finished() const;
    // Waits for the threads to end (they end once nothing is left to begin) and returns the
    // failures in order of index.
    std::vector<Failure> Wait();

private:
    bool Take(std::size_t& index);
    void End(std::size_t index, std::exception_ptr error) noexcept;
    void Run();

    const std::size_t m_count;
    const Work m_work;
    mutable std::mutex m_mutex;
    std::size_t m_next = 0;
    std::size_t m_running = 0;
    std::size_t m_ended = 0;
    bool m_stopped = false;
    std::vector<Failure> m_failures;
    std::vector<std::thread> m_threads;
};

// Calls work(i) for every i below `count` on up to `workers` threads, the calling thread one
// of them, and returns when all are done: the failures in order of index.
std::vector<Failure> ForEachIndex(std::size_t count, unsigned workers, const Workers::Work& work);

// Starts a thread running `body`; throws (std::system_error) when the system can't make one.
// Every worker thread is made here. Defined weak, so that a test program can define its own
// that fails, as thread creation fails when memory or the process limit runs out.
std::thread StartThread(std::function<void()> body);

}  // namespace Base
