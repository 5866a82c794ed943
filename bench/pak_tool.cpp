// Makes large archive sets and opens them, for measurements outside Google Benchmark:
//   pak_tool gamelike DIR   35,000 game-like files (about 318 MB inflated) in 6 archives
//   pak_tool million DIR    1,000,000 entries with 60-byte paths in 8 archives
//   pak_tool open DIR       Open + BuildTree, then prints the entry count and peak memory
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "GameLike.h"
#include "pakmgr/pakmgr.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pak_tool gamelike|million|open DIR\n");
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
