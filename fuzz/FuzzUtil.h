// Plumbing shared by the fuzz targets: splitting one input into several files, a private
// scratch folder, a game folder holding one archive, and a GL context made once.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/except.h"
#include "forge/pak.h"
#include "pakmgr/pakmgr.h"

namespace Fuzz {

// The input as a sequence of files: each is a u32 little-endian length followed by that
// many bytes; a length past the end takes what is left, and the missing files are empty.
// The seed tool writes inputs with JoinParts.
inline std::vector<std::vector<uint8_t>> SplitParts(std::span<const uint8_t> input,
                                                    std::size_t count) {
    std::vector<std::vector<uint8_t>> parts(count);
    for (auto& part : parts) {
        if (input.size() < sizeof(uint32_t)) {
            break;
        }
        uint32_t length = 0;
        std::memcpy(&length, input.data(), sizeof length);
        input = input.subspan(sizeof length);
        const std::size_t taken = std::min<std::size_t>(length, input.size());
        part.assign(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(taken));
        input = input.subspan(taken);
    }
    return parts;
}

inline std::vector<uint8_t> JoinParts(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts) {
        const auto length = static_cast<uint32_t>(part.size());
        const auto* bytes = reinterpret_cast<const uint8_t*>(&length);
        out.insert(out.end(), bytes, bytes + sizeof length);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// The folder of this process in memory-backed /dev/shm (the system's temporary folder when
// there is none), removed at exit.
struct ScratchRoot {
    std::string path;
    ~ScratchRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

// An empty sub-folder `name` of the scratch folder.
inline std::string FreshFolder(const std::string& name) {
    static const ScratchRoot root{[] {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        return (base / ("vell-fuzz-" + std::to_string(::getpid()))).string();
    }()};
    const std::string folder = root.path + "/" + name;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
    return folder;
}

// Writes the files as the only archive of a fresh game folder and opens it in the
// program's archive manager; false when the archive yields no tree.
inline bool OpenGame(const std::vector<Forge::PakFile>& files) {
    const std::string folder = FreshFolder("game");
    try {
        Forge::SavePak(folder + "/data.pak", files);
    } catch (const std::exception&) {
        return false;
    }
    PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
    mgr->Clear();
    return mgr->Open(folder) && mgr->BuildTree();
}

// Runs one step of a target: a refusal (Except) is the input's fault, not the program's.
template <typename Step>
void Refusable(Step step) {
    try {
        step();
    } catch (const Except&) {
    }
}

// A file stored with the fastest compression, so that time goes to the readers.
inline Forge::PakFile File(std::string path, std::vector<uint8_t> data) {
    return {.path = std::move(path), .data = std::move(data), .level = 1};
}

}  // namespace Fuzz
