// A mod against a game's archives, and the archives of a game that override others: both read
// the entry list, whose archives come in the order the game reads them.
#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "pakmgr/pack.h"

namespace PakMgr {

namespace {

// How many leading zeros (then exclamation marks) a suggested name may get.
constexpr int kMostPrefixes = 8;

std::string_view FileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The entries' paths and the file names of their archives, in list order.
struct Holders {
    explicit Holders(IPakMgr& game) {
        PakEntry entry;
        for (uint32_t i = 0; i < game.GetFileCount(); ++i) {
            if (game.GetEntry(i, entry)) {
                const std::string_view archive = FileName(entry.pakPath);
                if (archives.empty() || archives.back() != archive) {
                    archives.emplace_back(archive);
                    packed.push_back(IsPackedArchive(entry.pakPath));
                }
                std::vector<std::size_t>& by = byPath[entry.name];
                if (by.empty() || by.back() != archives.size() - 1) {
                    by.push_back(archives.size() - 1);
                }
            }
        }
    }
    std::vector<std::string> archives;  // that hold a record
    std::vector<bool> packed;
    std::unordered_map<std::string, std::vector<std::size_t>> byPath;  // archives, list order
};

// `name` with zeros before it (or exclamation marks, which sort before any digit or letter)
// until it lists before `rival` and names no archive of the game.
std::string NameBefore(const std::string& name, const std::string& rival,
                       const std::vector<std::string>& taken) {
    for (const char prefix : {'0', '!'}) {
        for (int count = 1; count <= kMostPrefixes; ++count) {
            std::string candidate = std::string(static_cast<std::size_t>(count), prefix) + name;
            if (ListsBefore(candidate, rival) &&
                std::find(taken.begin(), taken.end(), candidate) == taken.end()) {
                return candidate;
            }
        }
    }
    return {};
}

}  // namespace

bool ModCheck::Loses() const {
    return std::any_of(paths.begin(), paths.end(),
                       [](const PathVerdict& v) { return v.kind == PathVerdict::kLoses; });
}

ModCheck CheckMod(IPakMgr& game, const std::string& archiveName, const PackPlan& plan,
                  std::span<const std::string> replaced) {
    const Holders holders(game);
    ModCheck check;
    const std::string* firstRival = nullptr;  // the rival that lists first
    for (const PackSource& file : plan.files) {
        PathVerdict verdict{.path = file.path};
        const auto found = holders.byPath.find(file.path);
        for (const std::size_t a :
             found == holders.byPath.end() ? std::vector<std::size_t>{} : found->second) {
            const std::string& archive = holders.archives[a];
            if (archive == archiveName ||
                std::find(replaced.begin(), replaced.end(), archive) != replaced.end()) {
                continue;  // the mod's own earlier archive, which this one replaces
            }
            verdict.kind =
                ListsBefore(archive, archiveName) ? PathVerdict::kLoses : PathVerdict::kOverrides;
            verdict.archive = archive;
            if (verdict.kind == PathVerdict::kLoses &&
                (!firstRival || ListsBefore(archive, *firstRival))) {
                firstRival = &archive;
            }
            break;
        }
        check.paths.push_back(std::move(verdict));
    }
    if (firstRival) {
        check.winningName = NameBefore(archiveName, *firstRival, holders.archives);
    }
    return check;
}

std::optional<PartCheck> CheckLaterParts(IPakMgr& game, const PackPlan& plan,
                                         std::span<const PackPart> parts) {
    std::vector<std::string> names;
    for (const PackPart& part : parts) {
        names.push_back(std::filesystem::path(part.archive).filename().string());
    }
    for (std::size_t k = 1; k < parts.size(); ++k) {
        PackPlan files;
        const auto first = plan.files.begin() + static_cast<std::ptrdiff_t>(parts[k].first);
        files.files.assign(first, first + static_cast<std::ptrdiff_t>(parts[k].count));
        ModCheck check = CheckMod(game, names[k], files, names);
        if (check.Loses()) {
            return PartCheck{names[k], std::move(check)};
        }
    }
    return std::nullopt;
}

ModList ListMods(IPakMgr& game) {
    const Holders holders(game);
    std::vector<std::vector<Override>> overrides(holders.archives.size());
    std::vector<std::pair<std::string, std::vector<std::size_t>>> shared;
    for (const auto& [path, archives] : holders.byPath) {
        for (std::size_t i = 0; i + 1 < archives.size(); ++i) {
            Override o{.path = path};
            for (std::size_t j = i + 1; j < archives.size(); ++j) {
                o.under.push_back(holders.archives[archives[j]]);
            }
            overrides[archives[i]].push_back(std::move(o));
        }
        if (archives.size() > 1) {
            shared.emplace_back(path, archives);
        }
    }
    std::vector<bool> isMod(overrides.size());
    std::transform(overrides.begin(), overrides.end(), isMod.begin(),
                   [](const std::vector<Override>& o) { return !o.empty(); });
    ModList list;
    for (std::size_t a = 0; a < holders.archives.size(); ++a) {
        if (!overrides[a].empty()) {
            std::sort(overrides[a].begin(), overrides[a].end(),
                      [](const Override& x, const Override& y) { return x.path < y.path; });
            list.mods.push_back({holders.archives[a], holders.packed[a], std::move(overrides[a])});
        }
    }
    for (const auto& [path, archives] : shared) {
        ModConflict conflict{.path = path};
        for (const std::size_t a : archives) {
            if (isMod[a]) {
                conflict.archives.push_back(holders.archives[a]);
            }
        }
        if (conflict.archives.size() > 1) {
            list.conflicts.push_back(std::move(conflict));
        }
    }
    std::sort(list.conflicts.begin(), list.conflicts.end(),
              [](const ModConflict& x, const ModConflict& y) { return x.path < y.path; });
    return list;
}

}  // namespace PakMgr
