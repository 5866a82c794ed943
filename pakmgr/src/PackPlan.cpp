// Which files of a folder go into a mod archive, under which paths, and which can't.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/except.h"
#include "base/file.h"
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

// The archive path of a relative path, or the reason there is none.
std::string ArchivePath(const fs::path& relative, std::string& problem) {
    std::string utf8;
    for (const fs::path& part : relative) {
        const std::string name = part.string();
        if (name.find('\\') != std::string::npos) {
            problem = "its name holds '\\', which separates an archive path's folders";
            return {};
        }
        utf8 += '\\' + name;
    }
    std::string gbk = Base::Utf8ToGbk(utf8);
    if (Base::GbkToUtf8(gbk) != utf8) {
        problem = "code page 936 can't hold its name";
    } else if (gbk.size() > kLongestPath) {
        problem = "its archive path of " + std::to_string(gbk.size()) +
                  " bytes is longer than a record's " + std::to_string(kLongestPath);
    }
    return gbk;
}

// The walk asks the system as little as it can: the listing's own file types, one stat per
// file for its size, and path resolution only for links.
class Walk {
public:
    Walk(fs::path folder, PackPlan& plan) : m_folder(std::move(folder)), m_plan(plan) {}

    // `dir` is reached from the folder by `relative` (empty for the folder itself).
    void Folder(const fs::path& dir, const fs::path& relative, const fs::path& canonical) {
        std::error_code ec;
        fs::directory_iterator it(dir, ec);
        if (ec) {
            Refuse(relative, "can't read the folder: " + ec.message());
            return;
        }
        m_open.insert(canonical);
        // Its files are looked at from the folder itself: one name to find, not a whole path.
        const Base::FileHandle folder =
            Base::FileHandle::Open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (const fs::directory_entry& entry : it) {
            Item(entry, relative / entry.path().filename(), canonical, folder);
        }
        m_open.erase(canonical);
    }

    std::vector<std::string> problems;

private:
    void Refuse(const fs::path& relative, const std::string& why) {
        problems.push_back((relative.empty() ? "." : relative.string()) + ": " + why);
    }

    void Item(const fs::directory_entry& entry, const fs::path& relative, const fs::path& parent,
              const Base::FileHandle& folder) {
        std::error_code ec;
        if (entry.is_symlink(ec)) {
            const fs::path target = fs::canonical(entry.path(), ec);
            if (ec) {
                Refuse(relative, "a link to nothing that can be read");
            } else if (!Inside(m_folder, target)) {
                Refuse(relative, "a link to " + target.string() + ", outside the folder");
            } else if (m_open.contains(target)) {
                Refuse(relative, "a link to a folder that holds it");
            } else if (fs::is_directory(target, ec)) {
                Folder(entry.path(), relative, target);
            } else if (fs::is_regular_file(target, ec)) {
                File(entry.path(), relative, folder);
            }
        } else if (entry.is_directory(ec)) {
            Folder(entry.path(), relative, parent / entry.path().filename());
        } else if (entry.is_regular_file(ec)) {
            File(entry.path(), relative, folder);
        }  // devices, pipes and sockets are no files to pack
    }

    void File(const fs::path& path, const fs::path& relative, const Base::FileHandle& folder) {
        std::string problem;
        std::string archivePath = ArchivePath(relative, problem);
        const std::string name = path.filename().string();
        struct stat info {};
        // Readability is learnt when the file is read: a failure then still leaves nothing.
        if (problem.empty() && ::fstatat(folder.Get(), name.c_str(), &info, 0) != 0) {
            problem = "can't be read";
        } else if (problem.empty() && static_cast<uint64_t>(info.st_size) >= kMaxArchiveBytes) {
            problem = "4 GiB or more, past what an archive's 32-bit sizes hold";
        }
        const auto size = static_cast<uint64_t>(info.st_size);
        if (!problem.empty()) {
            Refuse(relative, problem);
            return;
        }
        m_plan.files.push_back({path.string(), std::move(archivePath), size});
        m_plan.bytes += size;
    }

    const fs::path m_folder;
    PackPlan& m_plan;
    std::set<fs::path> m_open;  // the folders being walked (resolved), against links that loop
};

}  // namespace

PackPlan PlanPack(const std::string& folder, const std::string& target) {
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
    Walk walk(root, plan);
    walk.Folder(root, {}, root);
    if (!walk.problems.empty()) {
        std::sort(walk.problems.begin(), walk.problems.end());
        plan.problems = std::move(walk.problems);
        return plan;
    }
    if (plan.files.empty()) {
        throw Except(ErrorKind::Input, "no file to pack in %s", Base::Utf8ToGbk(folder).c_str());
    }
    std::sort(plan.files.begin(), plan.files.end(),
              [](const PackSource& a, const PackSource& b) { return a.path < b.path; });
    return plan;
}

}  // namespace PakMgr
