// Makes large archive sets and opens them, for measurements outside Google Benchmark:
//   pak_tool gamelike DIR   35,000 game-like files (about 318 MB inflated) in 6 archives
//   pak_tool million DIR    1,000,000 entries with 60-byte paths in 8 archives
//   pak_tool open DIR       Open + BuildTree, then prints the entry count and peak memory
//   pak_tool parts DIR OUT  the two halves of an extract apart, each on every core: inflating
//                           every entry, then writing the inflated bytes as files under OUT
//   pak_tool inflate DIR... opens each game as vell does and inflates every file of its
//                           merged tree on every core: the floor under comparing two games
//   pak_tool plan DIR JOBS  the walk `vell pack` makes of DIR before reading any file
//   pak_tool compress DIR LEVEL JOBS  reads every file below DIR and compresses its bytes
//                           as `vell pack` does at LEVEL on JOBS workers, writing nothing:
//                           the floor under `vell pack`
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <thread>

#include "GameLike.h"
#include "base/parallel.h"
#include "pakmgr/pack.h"
#include "pakmgr/pakmgr.h"
#include "pakmgr/writer.h"

namespace {

int GameLike(const std::string& dir) {
    std::filesystem::create_directories(dir);
    auto paths = Bench::TreePaths(35000, 7, 20, 120, 3, 5);
    Bench::Random r(3);
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        // Mostly small files with a tail of large ones, about 9 KB on average.
        uint32_t roll = r.Range(0, 99);
        sizes.push_back(roll < 90 ? r.Range(300, 11000) : r.Range(8000, 74000));
    }
    Bench::WriteArchives(dir, paths, 6, [&](std::size_t i) { return sizes[i]; });
    return 0;
}

int Million(const std::string& dir) {
    std::filesystem::create_directories(dir);
    std::vector<std::string> paths;
    paths.reserve(1000000);
    for (int i = 0; i < 1000000; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "\\data\\level%02d\\group%03d\\set%02d\\object_%07d.dat",
                      i % 40, (i / 40) % 250, (i / 10000) % 10, i);
        std::string p(path);
        p.resize(60, 'x');
        paths.push_back(p);
    }
    Bench::WriteArchives(dir, paths, 8, [](std::size_t) { return 4; });
    return 0;
}

int Open(const std::string& dir) {
    auto start = std::chrono::steady_clock::now();
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Open(dir);
    mgr->BuildTree();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%u entries, Open + BuildTree %.1f ms, peak resident %.1f MB\n",
                mgr->GetFileCount(), ms, usage.ru_maxrss / 1024.0);
    return 0;
}

double Milliseconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Runs work(i) for i in [0, count) in batches of `batch` on every core.
void OnEveryCore(std::size_t count, std::size_t batch,
                 const std::function<void(std::size_t, std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t first; (first = next.fetch_add(batch)) < count;) {
            work(first, std::min(count, first + batch));
        }
    };
    std::vector<std::thread> threads(std::max(1u, std::thread::hardware_concurrency()) - 1);
    for (auto& t : threads) {
        t = std::thread(worker);
    }
    worker();
    for (auto& t : threads) {
        t.join();
    }
}

int Parts(const std::string& dir, const std::string& out) {
    constexpr std::size_t kFilesPerFolder = 64;
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Open(dir);
    const std::size_t count = mgr->GetFileCount();
    std::vector<std::size_t> sizes(count);
    const double inflating = Milliseconds([&] {
        OnEveryCore(count, kFilesPerFolder, [&](std::size_t first, std::size_t end) {
            std::vector<uint32_t> indices;
            for (std::size_t i = first; i < end; ++i) {
                indices.push_back(static_cast<uint32_t>(i));
            }
            mgr->LoadEntries(indices, [&](std::size_t k, bool, const std::vector<uint8_t>& b) {
                sizes[first + k] = b.size();
            });
        });
    });
    const std::vector<uint8_t> bytes(*std::max_element(sizes.begin(), sizes.end()), 'x');
    const double writing = Milliseconds([&] {
        OnEveryCore(count, kFilesPerFolder, [&](std::size_t first, std::size_t end) {
            const std::string folder = out + "/" + std::to_string(first / kFilesPerFolder);
            ::mkdir(folder.c_str(), 0755);
            const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            for (std::size_t i = first; i < end; ++i) {
                const int fd = ::openat(dir, std::to_string(i).c_str(),
                                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                if (fd < 0 || ::write(fd, bytes.data(), sizes[i]) < 0) {
                    std::perror("pak_tool parts");
                }
                ::close(fd);
            }
            ::close(dir);
        });
    });
    std::printf("parts: inflating alone %.0f ms, writing alone %.0f ms (each on every core)\n",
                inflating, writing);
    return 0;
}

void CollectFiles(PakMgr::ITreeNode* node, std::vector<uint32_t>& indices) {
    struct Children final : PakMgr::ITreeVisitor {
        std::vector<uint32_t>& indices;
        explicit Children(std::vector<uint32_t>& i) : indices(i) {}
        void Visit(PakMgr::ITreeNode* child) override {
            if (child->GetChildCount() == 0) {
                indices.push_back(static_cast<uint32_t>(child->GetIndex()));
            } else {
                CollectFiles(child, indices);
            }
        }
    } children(indices);
    node->ForEachChild(&children);
}

int Inflate(std::span<char*> dirs) {
    constexpr std::size_t kBatch = 256;
    std::size_t bytes = 0;
    std::atomic<std::size_t> total{0};
    for (const char* dir : dirs) {
        auto mgr = PakMgr::CreatePakMgr();
        if (!mgr->Open(dir) || !mgr->BuildTree()) {
            std::fprintf(stderr, "pak_tool: can't open %s\n", dir);
            return 1;
        }
        std::vector<uint32_t> indices;
        CollectFiles(mgr->GetRoot(), indices);
        std::sort(indices.begin(), indices.end());
        OnEveryCore(indices.size(), kBatch, [&](std::size_t first, std::size_t end) {
            std::size_t sum = 0;
            mgr->LoadEntries(
                std::span(indices).subspan(first, end - first),
                [&](std::size_t, bool, const std::vector<uint8_t>& b) { sum += b.size(); });
            total += sum;
        });
    }
    bytes = total;
    std::printf("%.1f MB inflated\n", double(bytes) / (1 << 20));
    return 0;
}

// What packing a folder can't go below: reading each file and compressing it, on JOBS
// workers, with nothing written.
int Compress(const std::string& dir, int level, unsigned jobs) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path().string());
        }
    }
    std::atomic<uint64_t> inflated{0};
    std::atomic<uint64_t> compressed{0};
    const auto failures = Base::ForEachIndex(files.size(), jobs, [&](std::size_t i) {
        thread_local std::vector<uint8_t> input;
        thread_local std::vector<uint8_t> output;
        const int fd = ::open(files[i].c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            throw std::runtime_error("can't read " + files[i]);
        }
        input.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        for (ssize_t n = 1; done < input.size() && n > 0; done += static_cast<std::size_t>(n)) {
            n = std::max<ssize_t>(::read(fd, input.data() + done, input.size() - done), 0);
        }
        ::close(fd);
        PakMgr::CompressStream(input, level, output);
        compressed += output.size();
        inflated += input.size();
    });
    std::printf("%zu files, %llu bytes, %llu compressed, %zu failed\n", files.size(),
                static_cast<unsigned long long>(inflated.load()),
                static_cast<unsigned long long>(compressed.load()), failures.size());
    return failures.empty() ? 0 : 1;
}

// The part of `vell pack` before any file is read: the walk of the folder and the look at
// each file, best of five.
int Plan(const std::string& dir, unsigned jobs) {
    double best = 0;
    std::size_t files = 0;
    for (int run = 0; run < 5; ++run) {
        const double ms = Milliseconds(
            [&] { files = PakMgr::PlanPack(dir, "/nonexistent/mod.pak", jobs).files.size(); });
        best = run == 0 ? ms : std::min(best, ms);
    }
    std::printf("%zu files planned in %.1f ms on %u workers\n", files, best, jobs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && !std::strcmp(argv[1], "compress")) {
        return Compress(argv[2], std::atoi(argv[3]), static_cast<unsigned>(std::atoi(argv[4])));
    }
    if (argc == 4 && !std::strcmp(argv[1], "plan")) {
        return Plan(argv[2], static_cast<unsigned>(std::atoi(argv[3])));
    }
    if (argc == 4 && !std::strcmp(argv[1], "parts")) {
        return Parts(argv[2], argv[3]);
    }
    if (argc >= 3 && !std::strcmp(argv[1], "inflate")) {
        return Inflate(std::span<char*>(argv + 2, static_cast<std::size_t>(argc - 2)));
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: pak_tool gamelike|million|open DIR | parts DIR OUT\n");
        return 2;
    }
    if (!std::strcmp(argv[1], "gamelike"))
        return GameLike(argv[2]);
    if (!std::strcmp(argv[1], "million"))
        return Million(argv[2]);
    if (!std::strcmp(argv[1], "open"))
        return Open(argv[2]);
    return 2;
}
