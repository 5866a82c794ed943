// Which files of a folder go into a mod archive, under which paths, and which can't.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "base/except.h"
#include "base/file.h"
#include "base/parallel.h"
#include "base/text.h"
#include "pakmgr/pack.h"

namespace PakMgr {

namespace {

namespace fs = std::filesystem;

// A path field holds 255 bytes and the terminating NUL.
constexpr std::size_t kLongestPath = Layout::kPathFieldSize - 1;

bool Inside(const fs::path& canonicalFolder, const fs::path& canonical) {
    const auto [end, rest] = std::mismatch(canonicalFolder.begin(), canonicalFolder.end(),
                                           canonical.begin(), canonical.end());
    return end == canonicalFolder.end() && rest != canonical.end();
}

// The archive path of a relative path ('/' between components), or the reason there is none.
std::string ArchivePath(const std::string& relative, std::string& problem) {
    if (relative.find('\\') != std::string::npos) {
        problem = "its name holds '\\', which separates an archive path's folders";
        return {};
    }
    std::string utf8 = '\\' + relative;
    std::replace(utf8.begin(), utf8.end(), '/', '\\');
    std::string gbk = Base::Utf8ToGbk(utf8);
    if (Base::GbkToUtf8(gbk) != utf8) {
        problem = "code page 936 can't hold its name";
    } else if (gbk.size() > kLongestPath) {
        problem = "its archive path of " + std::to_string(gbk.size()) +
                  " bytes is longer than a record's " + std::to_string(kLongestPath);
    }
    return gbk;
}

std::string Join(const std::string& relative, const char* name) {
    return relative.empty() ? std::string(name) : relative + '/' + name;
}

struct CloseListing {
    void operator()(DIR* listing) const { ::closedir(listing); }
};
using Listing = std::unique_ptr<DIR, CloseListing>;

// The walk asks the system as little as it can: the listing's own file types, each file's
// size from its folder (one name to look up, not a whole path), and path resolution only
// for links. The archive paths are made afterwards, on every worker.
class Walk {
public:
    explicit Walk(fs::path folder) : m_folder(std::move(folder)), m_root(m_folder.string()) {}

    // The folder open as `handle`, reached from the root by `relative` (empty for the root)
    // and resolved to `canonical`.
    void Folder(Base::FileHandle handle, const std::string& relative, const fs::path& canonical) {
        Listing listing(handle.IsOpen() ? ::fdopendir(handle.Get()) : nullptr);
        if (!listing) {
            Refuse(relative, std::string("can't read the folder: ") + std::strerror(errno));
            return;
        }
        handle.Release();  // the listing owns it now
        m_open.insert(canonical);
        while (const dirent* entry = ::readdir(listing.get())) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                Item(::dirfd(listing.get()), *entry, Join(relative, entry->d_name), canonical);
            }
        }
        m_open.erase(canonical);
    }

    // A regular file, its archive path still to make.
    struct Found {
        std::string relative;  // UTF-8, '/' between components
        uint64_t size;
        std::string path;
    };
    std::vector<Found> found;
    std::vector<std::string> problems;

    void Refuse(const std::string& relative, const std::string& why) {
        problems.push_back((relative.empty() ? "." : relative) + ": " + why);
    }
    std::string File(const std::string& relative) const { return m_root + '/' + relative; }

private:
    static unsigned char Type(int dir, const dirent& entry) {
        struct stat info {};
        if (entry.d_type != DT_UNKNOWN) {
            return entry.d_type;
        }
        if (::fstatat(dir, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return DT_UNKNOWN;
        }
        return S_ISLNK(info.st_mode)   ? DT_LNK
               : S_ISDIR(info.st_mode) ? DT_DIR
               : S_ISREG(info.st_mode) ? DT_REG
                                       : DT_UNKNOWN;
    }

    void Item(int dir, const dirent& entry, const std::string& relative, const fs::path& parent) {
        switch (Type(dir, entry)) {
            case DT_LNK:
                return Link(relative);
            case DT_DIR:
                return Folder(Base::FileHandle(
                                  ::openat(dir, entry.d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                              relative, parent / entry.d_name);
            case DT_REG:
                return Regular(dir, entry.d_name, relative);
            default:
                return;  // devices, pipes and sockets are no files to pack
        }
    }

    void Link(const std::string& relative) {
        std::error_code ec;
        const std::string file = File(relative);
        const fs::path target = fs::canonical(file, ec);
        if (ec) {
            Refuse(relative, "a link to nothing that can be read");
        } else if (!Inside(m_folder, target)) {
            Refuse(relative, "a link to " + target.string() + ", outside the folder");
        } else if (m_open.contains(target)) {
            Refuse(relative, "a link to a folder that holds it");
        } else if (fs::is_directory(target, ec)) {
            Folder(Base::FileHandle::Open(file.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                   relative, target);
        } else if (fs::is_regular_file(target, ec)) {
            Regular(AT_FDCWD, file.c_str(), relative);
        }
    }

    void Regular(int dir, const char* name, const std::string& relative) {
        struct stat info {};
        // Readability is learnt when the file is read: a failure then still leaves nothing.
        if (::fstatat(dir, name, &info, 0) != 0) {
            Refuse(relative, "can't be read");
        } else if (static_cast<uint64_t>(info.st_size) >= kMaxArchiveBytes) {
            Refuse(relative, "4 GiB or more, past what an archive's 32-bit sizes hold");
        } else {
            found.push_back({relative, static_cast<uint64_t>(info.st_size), {}});
        }
    }

    const fs::path m_folder;
    const std::string m_root;
    std::set<fs::path> m_open;  // the folders being walked (resolved), against links that loop
};

// Each file's archive path, made on `workers` threads; what can't have one is refused.
void MakePaths(Walk& walk, unsigned workers) {
    std::vector<std::string> problems(walk.found.size());
    Base::ForEachIndex(walk.found.size(), workers, [&](std::size_t i) {
        walk.found[i].path = ArchivePath(walk.found[i].relative, problems[i]);
    });
    for (std::size_t i = 0; i < problems.size(); ++i) {
        if (!problems[i].empty()) {
            walk.Refuse(walk.found[i].relative, problems[i]);
        }
    }
}

}  // namespace

PackPlan PlanPack(const std::string& folder, const std::string& target, unsigned workers) {
    std::error_code ec;
    const fs::path root = fs::canonical(folder, ec);
    if (ec || !fs::is_directory(root)) {
        throw Except(ErrorKind::Input, "no folder %s", Base::Utf8ToGbk(folder).c_str());
    }
    const fs::path output = fs::weakly_canonical(target, ec);
    if (!ec && (output == root || Inside(root, output))) {
        throw Except(ErrorKind::Input, "the archive %s would lie inside the folder it packs",
                     Base::Utf8ToGbk(target).c_str());
    }
    PackPlan plan;
    Walk walk(root);
    walk.Folder(Base::FileHandle::Open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), {}, root);
    MakePaths(walk, workers);
    if (!walk.problems.empty()) {
        std::sort(walk.problems.begin(), walk.problems.end());
        plan.problems = std::move(walk.problems);
        return plan;
    }
    plan.files.reserve(walk.found.size());
    for (Walk::Found& file : walk.found) {
        plan.files.push_back({walk.File(file.relative), std::move(file.path), file.size});
        plan.bytes += file.size;
    }
    if (plan.files.empty()) {
        throw Except(ErrorKind::Input, "no file to pack in %s", Base::Utf8ToGbk(folder).c_str());
    }
    std::sort(plan.files.begin(), plan.files.end(),
              [](const PackSource& a, const PackSource& b) { return a.path < b.path; });
    return plan;
}

}  // namespace PakMgr
