// vell diff: what a patch changed between two games' merged trees, and the files it brought.
#include <unistd.h>

#include <algorithm>
#include <map>

#include "Cli.h"
#include "base/except.h"
#include "base/file.h"

namespace Cli {

namespace {

// diff's own statuses: the trees are equal, they differ, or something couldn't be read.
constexpr int kEqual = 0;
constexpr int kDiffer = 1;
constexpr int kTrouble = 2;

// The safe names `extract` gives the children of one folder, claimed in the same order, so
// that a file comes out of `diff --extract` under the name `extract` gives it.
class SafeNames {
public:
    const std::string& Of(PakMgr::ITreeNode* node) {
        PakMgr::ITreeNode* folder = node->GetParent();
        auto found = m_names.find(folder);
        if (found == m_names.end()) {
            auto& names = m_names[folder];
            PakMgr::CutNames cuts;
            PakMgr::ForEachChild(folder, [&](PakMgr::ITreeNode* child) {
                names.emplace(child, PakMgr::SafeFileName(child->Name(), &cuts));
            });
            found = m_names.find(folder);
        }
        return found->second.at(node);
    }

    // The node's path below the root as safe names, '/' between them.
    std::string PathOf(PakMgr::ITreeNode* node) {
        std::vector<PakMgr::ITreeNode*> chain;
        for (; node && node->GetParent(); node = node->GetParent()) {
            chain.push_back(node);
        }
        std::string path;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            path += (path.empty() ? "" : "/") + Of(*it);
        }
        return path;
    }

private:
    std::map<PakMgr::ITreeNode*, std::map<PakMgr::ITreeNode*, std::string>> m_names;
};

// Writes the added and changed files of the newer game below `outDir`, each at its path
// made of safe names (nothing lands outside `outDir`).
void Extract(PakMgr::IPakMgr& newer, const PakMgr::Comparison& result, const std::string& outDir) {
    SafeNames names;
    std::vector<uint8_t> bytes;
    for (const PakMgr::Change& change : result.changes) {
        if (!change.newNode) {
            continue;
        }
        const std::string target = outDir + "/" + names.PathOf(change.newNode);
        MakeFolder(target.substr(0, target.rfind('/')));
        if (!newer.LoadEntry(static_cast<uint32_t>(change.newNode->GetIndex()), bytes)) {
            Fail(kTrouble, "can't read " + ShownPath(change.newNode));
        }
        Base::WriteWholeFile(target, bytes);
    }
}

int Diff(std::span<char*> argv) {
    Args args(argv, {"--extract"}, {});
    ExpectPositionals(args, {"OLD_GAME_DIR", "NEW_GAME_DIR"});
    const std::string outDir = args.Value("--extract");
    if (args.Has("--extract") && outDir.empty()) {
        FailUsage("--extract needs a folder");
    }
    const std::unique_ptr<PakMgr::IPakMgr> older = PakMgr::CreatePakMgr();
    const std::unique_ptr<PakMgr::IPakMgr> newer = PakMgr::CreatePakMgr();
    OpenGame(*older, args.Positionals()[0]);
    OpenGame(*newer, args.Positionals()[1]);
    const bool showProgress = ::isatty(STDERR_FILENO) != 0;
    const PakMgr::Comparison result =
        PakMgr::Compare(*older, *newer, [&](std::size_t done, std::size_t total) {
            if (showProgress) {
                std::fprintf(stderr, "\r%zu/%zu files compared", done, total);
            }
        });
    if (showProgress) {
        std::fprintf(stderr, "\n");
    }
    if (!result.unreadable.empty()) {
        Fail(kTrouble, "can't read " + ShownPath(result.unreadable.front()));
    }
    std::vector<std::pair<std::string, char>> lines;
    std::size_t counts[3] = {};
    for (const PakMgr::Change& change : result.changes) {
        lines.emplace_back(ShownPath(change.newNode ? change.newNode : change.oldNode),
                           char(change.kind));
        ++counts[change.kind == PakMgr::Change::kAdded     ? 0
                 : change.kind == PakMgr::Change::kRemoved ? 1
                                                           : 2];
    }
    // Byte order of the names as printed.
    std::sort(lines.begin(), lines.end());
    Output out;
    for (const auto& [path, kind] : lines) {
        out.Put({&kind, 1});
        out.Put(" ");
        out.Put(path);
        out.Put("\n");
    }
    out.Put(std::to_string(counts[0]) + " added, " + std::to_string(counts[1]) + " removed, " +
            std::to_string(counts[2]) + " changed, " + std::to_string(result.unchanged) +
            " unchanged\n");
    out.Flush();
    if (!outDir.empty()) {
        MakeFolder(outDir);
        Extract(*newer, result, outDir);
    }
    return result.changes.empty() ? kEqual : kDiffer;
}

}  // namespace

int CmdDiff(std::span<char*> argv) {
    // diff's status 1 says the games differ: every failure, of the shared helpers too, is 2.
    try {
        return Diff(argv);
    } catch (Exit& e) {
        e.code = kTrouble;
        throw;
    } catch (...) {
        // Memory running out while the trees are read or written out.
        Fail(kTrouble, "can't read the games: " + Base::Describe(std::current_exception()));
    }
}

}  // namespace Cli
