// vell list, tree and extract: the archives' entries, the merged tree, raw files.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <thread>

#include "Cli.h"

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
        m_out.Put(PakMgr::GbkToUtf8(node->Name()));
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

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == bytes.size();
}

struct Job {
    PakMgr::ITreeNode* node;
    std::string outPath;
};

// Collects every file below `node` with its output path, creating the folders on the way.
void CollectFiles(PakMgr::ITreeNode* node, const std::string& folder, std::vector<Job>& jobs) {
    struct Collector final : PakMgr::ITreeVisitor {
        const std::string& folder;
        std::vector<Job>& jobs;
        Collector(const std::string& f, std::vector<Job>& j) : folder(f), jobs(j) {}
        void Visit(PakMgr::ITreeNode* child) override {
            std::string path = folder + "/" + PakMgr::SafeFileName(child->Name());
            if (child->GetChildCount() == 0) {
                jobs.push_back({child, std::move(path)});
            } else {
                MakeFolder(path);
                CollectFiles(child, path, jobs);
            }
        }
    } collector(folder, jobs);
    node->ForEachChild(&collector);
}

// Writes the jobs on every core. Returns the paths that could not be read or written.
std::vector<std::string> RunJobs(PakMgr::IPakMgr& mgr, const std::vector<Job>& jobs) {
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::vector<std::vector<std::string>> failures(
        std::max(2u, std::thread::hardware_concurrency()));
    const bool showProgress = ::isatty(STDERR_FILENO);
    auto worker = [&](std::vector<std::string>& failed) {
        std::vector<uint8_t> bytes;
        for (std::size_t i; (i = next++) < jobs.size();) {
            const Job& job = jobs[i];
            bool ok = mgr.LoadEntry(static_cast<uint32_t>(job.node->GetIndex()), bytes) &&
                      WriteFile(job.outPath, bytes);
            if (!ok) {
                failed.push_back(PakMgr::GbkToUtf8(PakMgr::NodePath(job.node, '/')));
            }
            std::size_t count = ++done;
            if (showProgress && (count % 256 == 0 || count == jobs.size())) {
                std::fprintf(stderr, "\r%zu/%zu files", count, jobs.size());
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < failures.size(); ++t) {
        threads.emplace_back(worker, std::ref(failures[t]));
    }
    worker(failures[0]);
    for (auto& t : threads) {
        t.join();
    }
    if (showProgress && !jobs.empty()) {
        std::fprintf(stderr, "\n");
    }
    std::vector<std::string> all;
    for (auto& f : failures) {
        all.insert(all.end(), f.begin(), f.end());
    }
    return all;
}

}  // namespace

int CmdList(std::span<char*> argv) {
    Args args(argv, {}, {});
    if (args.Positionals().size() != 1) {
        Fail(kUsage, "missing GAME_DIR");
    }
    PakMgr::IPakMgr& mgr = OpenGame(args.Positionals()[0]);
    Output out;
    PakMgr::PakEntry e;
    const uint32_t count = mgr.GetFileCount();
    std::string lastPak;
    std::string lastPakName;
    for (uint32_t i = 0; i < count && mgr.GetEntry(i, e); ++i) {
        if (e.pakPath != lastPak) {
            lastPak = e.pakPath;
            lastPakName = PakMgr::GbkToUtf8(BaseName(e.pakPath));
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
        out.Put(PakMgr::GbkToUtf8(e.name));
        out.Put("\n");
    }
    PutNumber(out, count);
    out.Put(" entries in ");
    PutNumber(out, mgr.GetArchiveNames().size());
    out.Put(" archives\n");
    return kOk;
}

int CmdTree(std::span<char*> argv) {
    Args args(argv, {}, {});
    if (args.Positionals().size() != 1) {
        Fail(kUsage, "missing GAME_DIR");
    }
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
    if (pos.empty() || (all ? pos.size() != 1 : pos.size() < 2)) {
        Fail(kUsage, "missing GAME_DIR and PATH... (or --all)");
    }
    const std::string outDir = args.Required("-o");
    PakMgr::IPakMgr& mgr = OpenGame(pos[0]);

    std::vector<Job> jobs;
    std::vector<std::pair<PakMgr::ITreeNode*, std::string>> named;
    if (!all) {
        for (std::size_t i = 1; i < pos.size(); ++i) {
            named.emplace_back(NodeAt(mgr, pos[i]), pos[i]);
        }
    }
    MakeFolder(outDir);
    if (all) {
        CollectFiles(mgr.GetRoot(), outDir, jobs);
    }
    for (auto& [node, path] : named) {
        std::string out = outDir + "/" + PakMgr::SafeFileName(node->Name());
        if (node->GetChildCount() == 0) {
            jobs.push_back({node, out});
        } else {
            // A folder comes out whole, under its own name.
            MakeFolder(out);
            CollectFiles(node, out, jobs);
        }
    }
    std::vector<std::string> failed = RunJobs(mgr, jobs);
    for (const std::string& path : failed) {
        std::fprintf(stderr, "vell: can't read %s\n", path.c_str());
    }
    return failed.empty() ? kOk : kFailed;
}

}  // namespace Cli
