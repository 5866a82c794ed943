#include <algorithm>

#include "base/parallel.h"

namespace Base {

unsigned DefaultWorkers() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
}

__attribute__((weak)) std::thread StartThread(std::function<void()> body) {
    return std::thread(std::move(body));
}

Workers::Workers(std::size_t count, unsigned threads, Work work)
    : m_count(count), m_work(std::move(work)) {
    const std::size_t wanted = std::min<std::size_t>(count, threads);
    try {
        m_threads.reserve(wanted);
        while (m_threads.size() < wanted) {
            m_threads.push_back(StartThread([this] { Run(); }));
        }
    } catch (...) {
        // Fewer threads than asked for: those made, or the caller, do the work.
    }
}

Workers::~Workers() {
    Stop();
    Wait();
}

bool Workers::Take(std::size_t& index) {
    std::lock_guard lock(m_mutex);
    if (m_stopped || m_next >= m_count) {
        return false;
    }
    index = m_next++;
    ++m_running;
    return true;
}

void Workers::End(std::size_t index, std::exception_ptr error) noexcept {
    std::string message;
    if (error) {
        try {
            message = Describe(error);
        } catch (...) {
            message = "out of memory";  // short enough to need no allocation
        }
    }
    std::lock_guard lock(m_mutex);
    if (error) {
        try {
            m_failures.push_back({index, std::move(message), std::move(error)});
        } catch (...) {
            // No memory even to note it; the index still ends, so the count stays right.
        }
    }
    --m_running;
    ++m_ended;
}

bool Workers::Help() {
    std::size_t index = 0;
    if (!Take(index)) {
        return false;
    }
    std::exception_ptr error;
    try {
        m_work(index);
    } catch (...) {
        error = std::current_exception();
    }
    End(index, std::move(error));
    return true;
}

void Workers::Run() {
    while (Help()) {
    }
}

void Workers::Stop() {
    std::lock_guard lock(m_mutex);
    m_stopped = true;
}

std::size_t Workers::Ended() const {
    std::lock_guard lock(m_mutex);
    return m_ended;
}

bool Workers::Finished() const {
    std::lock_guard lock(m_mutex);
    return m_running == 0 && (m_stopped || m_next >= m_count);
}

std::vector<Failure> Workers::Wait() {
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    std::lock_guard lock(m_mutex);
    std::vector<Failure> failures = m_failures;
    std::sort(failures.begin(), failures.end(),
              [](const Failure& a, const Failure& b) { return a.index < b.index; });
    return failures;
}

std::vector<Failure> ForEachIndex(std::size_t count, unsigned workers, const Workers::Work& work) {
    // The calling thread is one of the workers, and none is made that would find no index.
    const std::size_t wanted = std::min<std::size_t>(std::max(workers, 1u), count);
    Workers pool(count, static_cast<unsigned>(std::max<std::size_t>(wanted, 1) - 1), work);
    while (pool.Help()) {
    }
    return pool.Wait();
}

}  // namespace Base
