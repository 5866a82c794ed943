// vell list, tree and extract: the archives' entries, the merged tree, raw files.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <unordered_set>

#include "Cli.h"
#include "base/file.h"
#include "base/parallel.h"
#include "base/text.h"

namespace Cli {

namespace {

void PutNumber(Output& out, uint64_t value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.Put({digits, static_cast<std::size_t>(end - digits)});
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Prints the tree as the walk reports it, indenting two spaces per level.
class TreePrinter final : public PakMgr::ITreeCtrl {
public:
    explicit TreePrinter(Output& out) : m_out(out) {}
    void* InsertNode(PakMgr::ITreeNode* node, void* parentItem, bool isLeaf) override {
        auto depth = reinterpret_cast<uintptr_t>(parentItem);
        m_out.Put(std::string(depth * 2, ' '));
        m_out.Put(Base::GbkToUtf8(node->Name()));
        m_out.Put(isLeaf ? "\t#" : "/\t#");
        PutNumber(m_out, static_cast<uint64_t>(node->GetIndex()));
        m_out.Put("\n");
        // The item handle is the depth of the node's children.
        return reinterpret_cast<void*>(depth + 1);
    }
    void SetNodeData(void*, PakMgr::ITreeNode*) override {}

private:
    Output& m_out;
};

// The files to write: each with its folder (an index into `folders`) and its safe name.
struct Plan {
    struct Job {
        PakMgr::ITreeNode* node;
        std::size_t folder;
        std::string name;
    };
    std::vector<std::string> folders;
    std::vector<Job> jobs;
    // Files and folders whose name another of their folder had first: archive path, and
    // the path written instead.
    std::vector<std::pair<std::string, std::string>> renamed;

    // The name `node` gets in folder `folder` among the names handed out there, claimed by
    // the node's whole path: two archive paths are two files, whatever their last names.
    std::string Claim(PakMgr::ITreeNode* node, std::size_t folder, PakMgr::CutNames& names) {
        const std::size_t before = names.Renames().size();
        std::string name = PakMgr::SafeFileName(node->Name(), names, PakMgr::NodePath(node, '\\'));
        if (names.Renames().size() > before) {
            renamed.emplace_back(ShownPath(node), folders[folder] + "/" + name);
        }
        return name;
    }

    std::size_t AddFolder(std::string path) {
        folders.push_back(std::move(path));
        return folders.size() - 1;
    }
};

// Adds every file below `node` to the plan, creating the folders on the way. A folder's files
// stay together, so that a worker writes a run of them through one folder handle.
void CollectFiles(PakMgr::ITreeNode* node, std::size_t folder, Plan& plan) {
    PakMgr::CutNames names;
    std::vector<std::pair<PakMgr::ITreeNode*, std::size_t>> subFolders;
    PakMgr::ForEachChild(node, [&](PakMgr::ITreeNode* child) {
        std::string name = plan.Claim(child, folder, names);
        if (child->GetChildCount() == 0) {
            plan.jobs.push_back({child, folder, std::move(name)});
            return;
        }
        std::string path = plan.folders[folder] + "/" + name;
        MakeFolder(path);
        subFolders.emplace_back(child, plan.AddFolder(std::move(path)));
    });
    for (const auto& [child, index] : subFolders) {
        CollectFiles(child, index, plan);
    }
}

// Runs of up to this many files of one folder are handed to a worker at a time: two workers
// rarely create files in one folder at once, and each opens the folder once per run.
constexpr std::size_t kFilesPerRun = 64;

// Consecutive jobs of one folder, at most kFilesPerRun of them: [first, end) pairs.
std::vector<std::pair<std::size_t, std::size_t>> Runs(const Plan& plan) {
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t first = 0; first < plan.jobs.size();) {
        std::size_t end = first + 1;
        while (end < plan.jobs.size() && end - first < kFilesPerRun &&
               plan.jobs[end].folder == plan.jobs[first].folder) {
            ++end;
        }
        runs.emplace_back(first, end);
        first = end;
    }
    return runs;
}

// Writes the plan on every core. Returns the paths that could not be read or written.
std::vector<std::string> RunJobs(PakMgr::IPakMgr& mgr, const Plan& plan) {
    const auto runs = Runs(plan);
    std::atomic<std::size_t> done{0};
    // Each run notes its own failures: no worker waits for another to note one.
    std::vector<std::vector<std::string>> failures(runs.size());
    std::vector<std::size_t> handled(runs.size(), 0);  // files of the run seen to their end
    const bool showProgress = ::isatty(STDERR_FILENO);
    const std::size_t total = plan.jobs.size();
    auto writeRun = [&](std::size_t r) {
        const std::size_t first = runs[r].first;
        const std::size_t end = runs[r].second;
        const std::string& folder = plan.folders[plan.jobs[first].folder];
        // One folder handle for the run: each file is named relative to it.
        const Base::FileHandle dir =
            Base::FileHandle::Open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        std::vector<uint32_t> indices;
        for (std::size_t i = first; i < end; ++i) {
            indices.push_back(static_cast<uint32_t>(plan.jobs[i].node->GetIndex()));
        }
        mgr.LoadEntries(indices, [&](std::size_t k, bool ok, const std::vector<uint8_t>& bytes) {
            const Plan::Job& job = plan.jobs[first + k];
            const std::span<const uint8_t> pieces[] = {bytes};
            if (!(ok && Base::TryWriteWholeFile(job.name.c_str(), pieces, &dir) == 0)) {
                failures[r].push_back(ShownPath(job.node));
            }
            ++handled[r];
            const std::size_t count = ++done;
            if (showProgress && (count % 256 == 0 || count == total)) {
                std::fprintf(stderr, "\r%zu/%zu files", count, total);
            }
        });
    };
    const std::vector<Base::Failure> failedRuns =
        Base::ForEachIndex(runs.size(), std::max(2u, Base::DefaultWorkers()), writeRun);
    if (showProgress && total > 0) {
        std::fprintf(stderr, "\n");
    }
    std::vector<std::string> all;
    for (const Base::Failure& failed : failedRuns) {
        // A run that broke off (memory ran out): its files not written are failures too.
        const auto [first, end] = runs[failed.index];
        for (std::size_t i = first + handled[failed.index]; i < end; ++i) {
            failures[failed.index].push_back(ShownPath(plan.jobs[i].node) + ": " + failed.message);
        }
    }
    for (auto& f : failures) {
        all.insert(all.end(), f.begin(), f.end());
    }
    return all;
}

}  // namespace

int CmdList(std::span<char*> argv) {
    Args args(argv, {}, {});
    ExpectPositionals(args, {"GAME_DIR"});
    PakMgr::IPakMgr& mgr = OpenGame(args.Positionals()[0]);
    Output out;
    PakMgr::PakEntry e;
    const uint32_t count = mgr.GetFileCount();
    std::string lastPak;
    std::string lastPakName;
    for (uint32_t i = 0; i < count && mgr.GetEntry(i, e); ++i) {
        if (e.pakPath != lastPak) {
            lastPak = e.pakPath;
            lastPakName = Base::GbkToUtf8(BaseName(e.pakPath));
        }
        PutNumber(out, i);
        out.Put("\t");
        PutNumber(out, e.inflatedSize);
        out.Put("\t");
        PutNumber(out, e.storedSize);
        out.Put("\t");
        PutNumber(out, e.offset);
        out.Put("\t");
        out.Put(lastPakName);
        out.Put("\t");
        out.Put(Base::GbkToUtf8(e.name));
        out.Put("\n");
    }
    PutNumber(out, count);
    out.Put(" entries in ");
    // The archives read; each skipped one had its line.
    PutNumber(out, mgr.GetArchiveNames().size() - mgr.GetSkippedArchives().size());
    out.Put(" archives\n");
    return kOk;
}

int CmdTree(std::span<char*> argv) {
    Args args(argv, {}, {});
    ExpectPositionals(args, {"GAME_DIR"});
    PakMgr::IPakMgr& mgr = OpenGame(args.Positionals()[0]);
    Output out;
    TreePrinter printer(out);
    mgr.WalkTree(&printer);
    return kOk;
}

int CmdExtract(std::span<char*> argv) {
    Args args(argv, {"-o"}, {"--all"});
    const auto& pos = args.Positionals();
    const bool all = args.Has("--all");
    if (all) {
        ExpectPositionals(args, {"GAME_DIR"});
    } else if (pos.size() == 1) {
        FailUsage("missing PATH... (or --all)");
    } else {
        ExpectPositionals(args, {"GAME_DIR", "PATH..."});
    }
    const std::string outDir = args.Required("-o");
    PakMgr::IPakMgr& mgr = OpenGame(pos[0]);

    std::vector<PakMgr::ITreeNode*> named;
    if (!all) {
        for (std::size_t i = 1; i < pos.size(); ++i) {
            named.push_back(NodeAt(mgr, pos[i]));
        }
    }
    MakeFolder(outDir);
    Plan plan;
    const std::size_t top = plan.AddFolder(outDir);
    if (all) {
        CollectFiles(mgr.GetRoot(), top, plan);
    }
    PakMgr::CutNames names;
    // A path given twice is one file (or folder), written once.
    std::unordered_set<PakMgr::ITreeNode*> given;
    for (PakMgr::ITreeNode* node : named) {
        if (!given.insert(node).second) {
            continue;
        }
        std::string name = plan.Claim(node, top, names);
        if (node->GetChildCount() == 0) {
            plan.jobs.push_back({node, top, std::move(name)});
        } else {
            // A folder comes out whole, under its own name.
            std::string out = outDir;
            out += '/';
            out += name;
            MakeFolder(out);
            CollectFiles(node, plan.AddFolder(std::move(out)), plan);
        }
    }
    for (const auto& [from, to] : plan.renamed) {
        std::fprintf(stderr, "vell: renamed %s to %s: its name was taken\n", from.c_str(),
                     to.c_str());
    }
    std::vector<std::string> failed = RunJobs(mgr, plan);
    for (const std::string& path : failed) {
        std::fprintf(stderr, "vell: can't read %s\n", path.c_str());
    }
    std::printf("wrote %zu of %zu files, %zu failed", plan.jobs.size() - failed.size(),
                plan.jobs.size(), failed.size());
    if (!plan.renamed.empty()) {
        std::printf(", %zu renamed", plan.renamed.size());
    }
    std::printf("\n");
    return failed.empty() ? kOk : kFailed;
}

}  // namespace Cli
