// vell pack: a folder into a mod archive that the game reads first; vell mods: the archives of
// a game that override others, and which wins where they meet.
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "Cli.h"
#include "ModelInput.h"
#include "base/parallel.h"
#include "base/text.h"
#include "pakmgr/pack.h"

namespace Cli {

namespace {

namespace fs = std::filesystem;

// An archive path as the other commands print one: UTF-8, '/' between folders.
std::string Shown(std::string_view archivePath) {
    std::string path = Base::GbkToUtf8(archivePath.substr(archivePath.starts_with('\\') ? 1 : 0));
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

PakMgr::PackOptions Options(const Args& args) {
    PakMgr::PackOptions options{.workers = Base::DefaultWorkers(), .split = args.Has("--split")};
    if (args.Has("--level")) {
        options.level = static_cast<int>(ParseIndex(args.Value("--level"), "--level"));
        if (options.level < PakMgr::kMinPackLevel || options.level > PakMgr::kMaxPackLevel) {
            FailUsage("bad --level (want 1 to 12): " + args.Value("--level"));
        }
    }
    if (args.Has("--jobs")) {
        options.workers = ParseIndex(args.Value("--jobs"), "--jobs");
        if (options.workers == 0 || options.workers > Base::kMaxWorkers) {
            FailUsage("bad --jobs (want 1 to " + std::to_string(Base::kMaxWorkers) +
                      "): " + args.Value("--jobs"));
        }
    }
    return options;
}

// -o FILE, or NAME.pak (--name, else the folder's name) in the game's folder.
std::string Target(const Args& args, const std::string& folder) {
    if (args.Has("-o")) {
        if (args.Has("--name")) {
            FailUsage("--name names the archive written into --game's folder, not -o's");
        }
        return args.Value("-o");
    }
    if (!args.Has("--game")) {
        FailUsage("missing -o FILE.pak or --game GAME_DIR");
    }
    std::string name = args.Has("--name") ? args.Value("--name")
                                          : fs::weakly_canonical(folder).filename().string();
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        FailUsage("bad --name (want an archive's file name): " + name);
    }
    if (!name.ends_with(".pak")) {
        name += ".pak";
    }
    return (fs::path(args.Value("--game")) / name).string();
}

void RefuseProblems(const PakMgr::PackPlan& plan) {
    if (plan.problems.empty()) {
        return;
    }
    for (const std::string& problem : plan.problems) {
        std::fprintf(stderr, "vell: %s\n", problem.c_str());
    }
    Fail(kFailed, "nothing written: " + std::to_string(plan.problems.size()) +
                      " file(s) can't go into an archive");
}

bool InFolder(const std::string& file, const std::string& folder) {
    std::error_code ec;
    return fs::weakly_canonical(fs::path(file).parent_path(), ec) ==
           fs::weakly_canonical(folder, ec);
}

const char* const kVerdicts[] = {"overrides", "new", "loses to"};

void PrintVerdicts(const PakMgr::ModCheck& check, bool lossesOnly) {
    Output out;
    for (const PakMgr::PathVerdict& v : check.paths) {
        if (!lossesOnly || v.kind == PakMgr::PathVerdict::kLoses) {
            out.Put(std::string(kVerdicts[v.kind]) + "\t" + Shown(v.path) +
                    (v.archive.empty() ? "" : "\t" + Base::GbkToUtf8(v.archive)) + "\n");
        }
    }
    out.Flush();
}

std::size_t Losing(const PakMgr::ModCheck& check) {
    return static_cast<std::size_t>(std::count_if(
        check.paths.begin(), check.paths.end(),
        [](const PakMgr::PathVerdict& v) { return v.kind == PakMgr::PathVerdict::kLoses; }));
}

// `winner` is the archive name that would win, for the whole mod: a later part's name turns
// into the first's with the same prefix.
[[noreturn]] void RefuseLoss(const PakMgr::ModCheck& check, const std::string& name,
                             const std::string& winner) {
    Fail(kFailed, "nothing written: " + std::to_string(Losing(check)) + " file(s) of " + name +
                      " lose to archives the game reads first" +
                      (winner.empty() ? std::string()
                                      : "; " + winner + " would win (--name " +
                                            winner.substr(0, winner.size() - 4) + ")"));
}

// What the archive does to each path of the game; refuses when any path loses.
void CheckAgainstGame(PakMgr::IPakMgr& game, const std::string& gameDir, const std::string& target,
                      const PakMgr::PackPlan& plan) {
    const std::string name = fs::path(target).filename().string();
    if (InFolder(target, gameDir) && fs::exists(target) && !PakMgr::IsPackedArchive(target)) {
        Fail(kFailed, name + " is an archive of the game, not one vell pack wrote: choose " +
                          "another --name");
    }
    const PakMgr::ModCheck check = PakMgr::CheckMod(game, name, plan);
    PrintVerdicts(check, false);
    std::size_t counts[3] = {};
    for (const PakMgr::PathVerdict& v : check.paths) {
        ++counts[v.kind];
    }
    std::printf("%s: %zu overridden, %zu new, %zu losing\n", name.c_str(), counts[0], counts[1],
                counts[2]);
    if (check.Loses()) {
        RefuseLoss(check, name, check.winningName);
    }
}

// Once written, each part of a split is checked under its own name.
void CheckParts(PakMgr::IPakMgr& game, const PakMgr::PackPlan& plan,
                std::span<const PakMgr::PackPart> parts) {
    const std::optional<PakMgr::PartCheck> lost = PakMgr::CheckLaterParts(game, plan, parts);
    if (lost) {
        PrintVerdicts(lost->check, true);
        const std::string& winner = lost->check.winningName;
        const std::string first = fs::path(parts.front().archive).filename().string();
        RefuseLoss(lost->check, lost->archive,
                   winner.empty() ? winner
                                  : winner.substr(0, winner.size() - lost->archive.size()) + first);
    }
}

// Parts of an earlier, longer split are left alone (another mod may carry such a name), but
// the game still reads them: say so.
void WarnStaleParts(const std::string& target, std::size_t written) {
    for (std::size_t k = written;; ++k) {
        const std::string part = PakMgr::SplitPartName(target, k);
        if (!fs::exists(part) || !PakMgr::IsPackedArchive(part)) {
            return;
        }
        std::fprintf(stderr,
                     "vell: %s, written by an earlier vell pack, is still there: the game "
                     "reads it too (remove it if it was part of this mod)\n",
                     part.c_str());
    }
}

}  // namespace

int CmdPack(std::span<char*> argv) {
    Args args(argv, {"-o", "--game", "--name", "--jobs", "--level"}, {"--split"});
    ExpectPositionals(args, {"FOLDER"});
    const std::string& folder = args.Positionals()[0];
    PakMgr::PackOptions options = Options(args);
    const std::string target = Target(args, folder);
    // Only an archive vell pack wrote may be replaced: -o aimed at a game's archive (or any
    // other file) must not take its place.
    if (!args.Has("--game") && fs::exists(target) && !PakMgr::IsPackedArchive(target)) {
        Fail(kFailed, target + " is not an archive vell pack wrote: choose another -o");
    }
    const PakMgr::PackPlan plan = PakMgr::PlanPack(folder, target, options.workers);
    RefuseProblems(plan);
    if (args.Has("--game")) {
        PakMgr::IPakMgr& game = OpenGame(args.Value("--game"));
        CheckAgainstGame(game, args.Value("--game"), target, plan);
        options.beforeCommit = [&game, &plan](std::span<const PakMgr::PackPart> parts) {
            CheckParts(game, plan, parts);
        };
    }
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal) {
        options.progress = [](uint64_t done, uint64_t total) {
            std::fprintf(stderr, "\r\033[Kpacking %3d%%",
                         total == 0 ? 100 : static_cast<int>(done * 100 / total));
            return true;
        };
    }
    // Only a pack that passed every check makes the folder it goes into.
    MakeFolderFor(target);
    const std::vector<std::string> written = *PakMgr::WritePack(plan, target, options);
    if (terminal) {
        std::fprintf(stderr, "\r\033[K");
    }
    uint64_t bytes = 0;
    for (const std::string& archive : written) {
        bytes += fs::file_size(archive);
    }
    std::printf("packed %zu files (%llu bytes) into %llu bytes: %s", plan.files.size(),
                static_cast<unsigned long long>(plan.bytes), static_cast<unsigned long long>(bytes),
                written.front().c_str());
    for (std::size_t i = 1; i < written.size(); ++i) {
        std::printf(", %s", written[i].c_str());
    }
    std::printf("\n");
    WarnStaleParts(target, written.size());
    return kOk;
}

int CmdMods(std::span<char*> argv) {
    Args args(argv, {}, {});
    ExpectPositionals(args, {"GAME_DIR"});
    const PakMgr::ModList list = PakMgr::ListMods(OpenGame(args.Positionals()[0]));
    Output out;
    for (const PakMgr::ModArchive& mod : list.mods) {
        out.Put(Base::GbkToUtf8(mod.archive) + "\t" + std::to_string(mod.overrides.size()) +
                " overridden" + (mod.packed ? "\tvell pack" : "") + "\n");
        for (const PakMgr::Override& o : mod.overrides) {
            std::string under;
            for (const std::string& archive : o.under) {
                under += " " + Base::GbkToUtf8(archive);
            }
            out.Put("\t" + Shown(o.path) + "\tover" + under + "\n");
        }
    }
    for (const PakMgr::ModConflict& conflict : list.conflicts) {
        std::string losers;
        for (std::size_t i = 1; i < conflict.archives.size(); ++i) {
            losers += " " + Base::GbkToUtf8(conflict.archives[i]);
        }
        out.Put("conflict\t" + Shown(conflict.path) + "\t" +
                Base::GbkToUtf8(conflict.archives.front()) + " wins over" + losers + "\n");
    }
    out.Put(std::to_string(list.mods.size()) + " archive(s) override others, " +
            std::to_string(list.conflicts.size()) + " path(s) held by two or more of them\n");
    return kOk;
}

}  // namespace Cli
