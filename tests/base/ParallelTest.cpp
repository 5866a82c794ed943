// The parallel helper: every index done once on at most the workers asked for, fewer when
// the system makes fewer threads (the caller alone when it makes none), and whatever an
// index throws kept as that index's failure while the others go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "ThreadSeam.h"
#include "base/except.h"
#include "base/parallel.h"

namespace {

using ThreadSeam::kAny;

// Which thread did each index, and how often each was done.
struct Record {
    explicit Record(std::size_t count) : times(count), threads(count) {}
    void Note(std::size_t i) {
        ++times[i];
        threads[i] = std::this_thread::get_id();
    }
    std::size_t ThreadCount() const {
        return std::set<std::thread::id>(threads.begin(), threads.end()).size();
    }
    std::vector<std::atomic<int>> times;
    std::vector<std::thread::id> threads;
};

TEST(ForEachIndex, DoesEveryIndexOnceOnNoMoreWorkersThanAskedOrMade) {
    const struct {
        std::size_t count;
        unsigned workers;
        std::size_t threadsMade;  // kAny: as many as asked for
        std::size_t mostThreads;  // the caller among them
    } kRows[] = {
        {0, 4, kAny, 0}, {1, 4, kAny, 1}, {200, 1, kAny, 1}, {200, 4, kAny, 4},
        {200, 4, 0, 1},  {200, 4, 1, 2},  {200, 64, 2, 3},   {3, 64, kAny, 3},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(::testing::Message() << row.count << " indices, " << row.workers
                                          << " workers, " << row.threadsMade << " made");
        ThreadSeam::Allow allow(row.threadsMade);
        Record record(row.count);
        const std::size_t madeBefore = ThreadSeam::Made();
        const auto failures = Base::ForEachIndex(row.count, row.workers, [&](std::size_t i) {
            record.Note(i);
            // Long enough that every worker made gets some of the work.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        });
        EXPECT_TRUE(failures.empty());
        for (std::size_t i = 0; i < row.count; ++i) {
            EXPECT_EQ(record.times[i], 1) << i;
        }
        EXPECT_LE(record.ThreadCount(), row.mostThreads);
        EXPECT_LE(ThreadSeam::Made() - madeBefore, row.mostThreads == 0 ? 0 : row.mostThreads - 1);
        if (row.threadsMade == 0 && row.count > 0) {
            EXPECT_EQ(record.threads[0], std::this_thread::get_id());
        }
    }
}

TEST(ForEachIndex, WhateverAnIndexThrowsIsItsFailureAndTheOthersGoOn) {
    const std::function<void()> kThrows[] = {
        [] { throw Except(ErrorKind::Corrupt, "corrupt .msh file: %d", 7); },
        [] { throw std::bad_alloc(); },
        [] { throw std::runtime_error("disk on fire"); },
        [] { throw 42; },
    };
    const std::string kSaid[] = {"corrupt .msh file: 7", "out of memory", "disk on fire",
                                 "unknown failure"};
    for (std::size_t made : {kAny, std::size_t{0}}) {
        ThreadSeam::Allow allow(made);
        constexpr std::size_t kCount = 40;
        std::vector<std::atomic<int>> done(kCount);
        // Indices 3, 13, 23 and 33 throw, one of each kind.
        const auto failures = Base::ForEachIndex(kCount, 4, [&](std::size_t i) {
            if (i % 10 == 3) {
                kThrows[i / 10]();
            }
            ++done[i];
        });
        ASSERT_EQ(failures.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(failures[k].index, k * 10 + 3);
            EXPECT_EQ(failures[k].message, kSaid[k]);
        }
        EXPECT_THROW(std::rethrow_exception(failures[1].error), std::bad_alloc);
        for (std::size_t i = 0; i < kCount; ++i) {
            EXPECT_EQ(done[i], i % 10 == 3 ? 0 : 1) << i;
        }
    }
}

// A window's way: the workers go on by themselves while the caller only watches; with no
// thread made the caller's Help does it all. Stop lets those under way finish and begins
// nothing more.
TEST(Workers, RunWithoutTheCallerAndStopBeginsNothingMore) {
    {
        std::atomic<int> done{0};
        Base::Workers workers(50, 3, [&](std::size_t) { ++done; });
        while (!workers.Finished()) {
            std::this_thread::yield();
        }
        EXPECT_EQ(workers.Ended(), 50u);
        EXPECT_EQ(done, 50);
        EXPECT_TRUE(workers.Wait().empty());
    }
    {
        ThreadSeam::Allow none(0);
        std::atomic<int> done{0};
        Base::Workers workers(5, 3, [&](std::size_t) { ++done; });
        EXPECT_EQ(workers.Threads(), 0u);
        EXPECT_FALSE(workers.Finished());
        while (workers.Help()) {
        }
        EXPECT_TRUE(workers.Finished());
        EXPECT_EQ(done, 5);
    }
    {
        std::mutex gate;
        std::unique_lock hold(gate);
        std::atomic<int> begun{0};
        Base::Workers workers(100, 2, [&](std::size_t) {
            ++begun;
            std::lock_guard wait(gate);
        });
        while (begun < 2) {
            std::this_thread::yield();
        }
        workers.Stop();
        EXPECT_FALSE(workers.Finished());
        hold.unlock();
        workers.Wait();
        EXPECT_TRUE(workers.Finished());
        EXPECT_EQ(begun, 2);
        EXPECT_EQ(workers.Ended(), 2u);
        EXPECT_FALSE(workers.Help());
    }
}

}  // namespace
