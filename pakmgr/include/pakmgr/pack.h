// Mods: a folder of files packed into one new archive that the game reads before its own, the
// check of such an archive against a game, and the list of a game's overriding archives.
// The game's own archives are only ever read.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pakmgr/pakmgr.h"
#include "pakmgr/writer.h"

namespace PakMgr {

// One file of the folder to pack.
struct PackSource {
    std::string file;  // where it is read from (UTF-8)
    std::string path;  // its archive path: '\', then the relative path in code page 936
    uint64_t size = 0;
};

// The folder's files in byte order of their archive paths, so a folder packs to the same
// bytes every time.
struct PackPlan {
    std::vector<PackSource> files;
    uint64_t bytes = 0;  // their sizes added up
    // The files that can't go in, each "relative path: why" in UTF-8, sorted. The archive is
    // written only when there are none.
    std::vector<std::string> problems;
};

// Lists every regular file below `folder` for an archive written to `target`. Symbolic links
// are followed when they lead inside the folder. The problems name every file that can't go
// in: a path code page 936 can't hold or longer than a record's 255 bytes, a file of 4 GiB
// or more, a link leading outside, something unreadable. Throws Except (Input) for a folder
// that isn't one, or holds no file, and for a target inside the folder. The files are looked
// at on up to `workers` threads.
PackPlan PlanPack(const std::string& folder, const std::string& target, unsigned workers = 1);

// One archive of those written: its file and the plan's files it holds, `count` of them from
// `first` on (a split puts the plan's files into its parts in order).
struct PackPart {
    std::string archive;
    std::size_t first = 0;
    std::size_t count = 0;
};

struct PackOptions {
    int level = 6;         // kMinPackLevel to kMaxPackLevel
    unsigned workers = 1;  // threads compressing
    // Past kMaxArchiveBytes (or `archiveLimit`), go on in NAME_1.pak, NAME_2.pak... instead of
    // refusing.
    bool split = false;
    uint64_t archiveLimit = kMaxArchiveBytes;
    bool packMark = true;
    // Called between slices of files with the bytes read so far; false cancels.
    std::function<bool(uint64_t done, uint64_t total)> progress;
    // Called once every part is complete and before any replaces a file, to look at which
    // files went where; what it throws leaves nothing written.
    std::function<void(std::span<const PackPart> parts)> beforeCommit;
};

// Writes the plan's archive to `target` (and the further archives of a split), each file
// replaced only once all are complete. The archives written, or nothing when cancelled.
// Throws Except: Input for what doesn't fit, Io for what can't be read or written; either
// way nothing is left.
std::optional<std::vector<std::string>> WritePack(const PackPlan& plan, const std::string& target,
                                                  const PackOptions& options);
// The name of part `part` of a split archive: NAME.pak, NAME_1.pak, NAME_2.pak...
std::string SplitPartName(const std::string& target, std::size_t part);

// ---- a mod against a game -----------------------------------------------------------------

// Whether the game lists archive `a` before `b` (and so reads its copy of a path first).
bool ListsBefore(std::string_view a, std::string_view b);

struct PathVerdict {
    enum Kind { kOverrides, kNew, kLoses };
    Kind kind = kNew;
    std::string path;     // archive bytes
    std::string archive;  // the game's archive that held it, or the one that wins over the mod
};

struct ModCheck {
    std::vector<PathVerdict> paths;  // in the plan's order
    // An archive name that would win every path, when some path loses (empty otherwise, and
    // when none is found).
    std::string winningName;
    bool Loses() const;
};

// Places an archive named `archiveName` among the archives of the game `game` has open (an
// archive of that name already there is the mod's earlier self, and left out, as are those
// named in `replaced`: the other parts of a split) and says what becomes of each path.
ModCheck CheckMod(IPakMgr& game, const std::string& archiveName, const PackPlan& plan,
                  std::span<const std::string> replaced = {});

// A split's parts are listed one after another, so an archive of the game listed between two
// parts wins over the later one. Checks each part after the first under its own file name
// (the other parts left out as the mod's own) and returns the first that loses, if any.
struct PartCheck {
    std::string archive;  // the part's file name
    ModCheck check;
};
std::optional<PartCheck> CheckLaterParts(IPakMgr& game, const PackPlan& plan,
                                         std::span<const PackPart> parts);

// ---- the archives of a game that override others ---------------------------------------

struct Override {
    std::string path;                // archive bytes
    std::vector<std::string> under;  // the later archives that hold it, in list order
};

struct ModArchive {
    std::string archive;  // file name
    bool packed = false;  // written by vell pack
    std::vector<Override> overrides;
};

struct ModConflict {
    std::string path;
    std::vector<std::string> archives;  // the mod archives that hold it, the winner first
};

struct ModList {
    std::vector<ModArchive> mods;        // in list order
    std::vector<ModConflict> conflicts;  // paths two or more mods hold, by path
};

// Every archive of the open game holding a path that an archive listed after it holds too.
ModList ListMods(IPakMgr& game);

}  // namespace PakMgr
