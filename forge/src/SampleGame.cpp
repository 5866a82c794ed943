// The sample game folder: the character among tens of thousands of ordinary game files,
// spread over archives the way a game ships them, plus an update archive that wins.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "SampleBuild.h"
#include "TwoThreads.h"
#include "base/text.h"
#include "forge/sample.h"
#include "pakmgr/pakmgr.h"

namespace Forge {
namespace SampleBuild {
namespace {

enum class Kind { Dds, Wav, Lua, Xml, Ini, Text, Terrain, Effect };

// ---- file contents ------------------------------------------------------------------------

// A small DXT1 picture: blocks shading between two colours.
std::vector<uint8_t> TinyDds(uint32_t seed) {
    const uint32_t side = 8u << (Hash(seed, 1) % 4);  // 8 to 64
    DdsDesc desc{.width = side, .height = side, .format = DdsFormat::DXT1};
    const uint16_t c0 = uint16_t(Hash(seed, 2));
    const uint16_t c1 = uint16_t(Hash(seed, 3));
    std::vector<uint8_t> blocks;
    const uint32_t count = (side / 4) * (side / 4);
    for (uint32_t b = 0; b < count; ++b) {
        const uint32_t pattern = (b % 4 == 0) ? 0x00000000u : 0x55AAFF00u ^ Hash(seed, b % 7);
        const uint8_t block[8] = {uint8_t(std::max(c0, c1)), uint8_t(std::max(c0, c1) >> 8),
                                  uint8_t(std::min(c0, c1)), uint8_t(std::min(c0, c1) >> 8),
                                  uint8_t(pattern),          uint8_t(pattern >> 8),
                                  uint8_t(pattern >> 16),    uint8_t(pattern >> 24)};
        blocks.insert(blocks.end(), block, block + 8);
    }
    return WriteDds(desc, blocks);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(uint8_t(value >> (8 * i)));
    }
}

// A short 8-bit mono sound: a decaying tone.
std::vector<uint8_t> TinyWav(uint32_t seed) {
    constexpr uint32_t kRate = 11025;
    const uint32_t samples = 300 + Hash(seed, 4) % 3000;
    const float pitch = 200 + float(Hash(seed, 5) % 800);
    std::vector<uint8_t> out;
    out.reserve(44 + samples);
    const auto text = [&](const char* tag) {
        PutLe(out,
              uint32_t(tag[0]) | uint32_t(tag[1]) << 8 | uint32_t(tag[2]) << 16 |
                  uint32_t(tag[3]) << 24,
              4);
    };
    text("RIFF");
    PutLe(out, 36 + samples, 4);
    text("WAVE");
    text("fmt ");
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);  // PCM
    PutLe(out, 1, 2);  // mono
    PutLe(out, kRate, 4);
    PutLe(out, kRate, 4);
    PutLe(out, 1, 2);
    PutLe(out, 8, 2);
    text("data");
    PutLe(out, samples, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const float envelope = std::exp(-3.0f * float(i) / float(samples));
        const float s = std::sin(6.2831853f * pitch * float(i) / kRate);
        out.push_back(uint8_t(std::lround(128 + 100 * envelope * s)));
    }
    return out;
}

std::string Number(uint32_t value, int width) {
    std::string s = std::to_string(value);
    return std::string(std::max(0, width - int(s.size())), '0') + s;
}

std::vector<uint8_t> TextFile(Kind kind, const std::string& stem, uint32_t seed) {
    std::string s;
    const uint32_t lines = 3 + Hash(seed, 6) % 40;
    switch (kind) {
        case Kind::Lua:
            s = "-- " + stem + "\nlocal M = {}\n\n";
            for (uint32_t i = 0; i < lines; ++i) {
                s += "M.value" + std::to_string(i) + " = " + std::to_string(Hash(seed, i) % 1000) +
                     "\n";
            }
            s += "\nfunction M.Init(self)\n    self.ready = true\nend\n\nreturn M\n";
            break;
        case Kind::Xml:
            s = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<Layout name=\"" + stem + "\">\n";
            for (uint32_t i = 0; i < lines; ++i) {
                s += "  <Widget id=\"" + std::to_string(i) + "\" x=\"" +
                     std::to_string(Hash(seed, i, 1) % 800) + "\" y=\"" +
                     std::to_string(Hash(seed, i, 2) % 600) + "\" w=\"64\" h=\"24\"/>\n";
            }
            s += "</Layout>\n";
            break;
        case Kind::Ini:
            s = "[" + stem + "]\n";
            for (uint32_t i = 0; i < lines; ++i) {
                s +=
                    "key" + std::to_string(i) + "=" + std::to_string(Hash(seed, i) % 100000) + "\n";
            }
            break;
        default:
            for (uint32_t i = 0; i < lines; ++i) {
                s += stem + " " + std::to_string(i) + ": " + std::to_string(Hash(seed, i)) + "\n";
            }
            break;
    }
    return {s.begin(), s.end()};
}

// A terrain tile (a height grid) or an effect's particle table: little-endian records.
std::vector<uint8_t> BinaryFile(Kind kind, uint32_t seed) {
    std::vector<uint8_t> out;
    const auto putFloat = [&](float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutLe(out, bits, 4);
    };
    if (kind == Kind::Terrain) {
        constexpr uint32_t kGrid = 17;
        PutLe(out, 0x52455456, 4);  // "VTER"
        PutLe(out, kGrid, 4);
        for (uint32_t y = 0; y < kGrid; ++y) {
            for (uint32_t x = 0; x < kGrid; ++x) {
                putFloat(std::round(20 * Fractal(x / 4.0f, y / 4.0f, seed, 2)) * 0.5f);
            }
        }
        return out;
    }
    const uint32_t emitters = 1 + Hash(seed, 8) % 12;
    PutLe(out, 0x58464556, 4);  // "VEFX"
    PutLe(out, emitters, 4);
    for (uint32_t i = 0; i < emitters; ++i) {
        for (int k = 0; k < 12; ++k) {
            putFloat(float(Hash(seed, i, k) % 100) / 10.0f);
        }
    }
    return out;
}

std::vector<uint8_t> FillerFile(Kind kind, const std::string& stem, uint32_t seed) {
    switch (kind) {
        case Kind::Dds:
            return TinyDds(seed);
        case Kind::Wav:
            return TinyWav(seed);
        case Kind::Terrain:
        case Kind::Effect:
            return BinaryFile(kind, seed);
        default:
            return TextFile(kind, stem, seed);
    }
}

const char* Extension(Kind kind) {
    constexpr std::array<const char*, 8> kExtensions = {".dds", ".wav", ".lua", ".xml",
                                                        ".ini", ".txt", ".ter", ".eff"};
    return kExtensions[std::size_t(kind)];
}

// ---- folders ------------------------------------------------------------------------------

class Filler {
public:
    explicit Filler(FileSet& set) : m_set(set) {}
    // `count` files named stem + number in `folder` (archive bytes), kinds in turn.
    void Add(const std::string& folder, const std::string& stem, uint32_t count,
             std::initializer_list<Kind> kinds) {
        const std::vector<Kind> list(kinds);
        for (uint32_t i = 0; i < count; ++i) {
            const Kind kind = list[i % list.size()];
            const std::string name = count == 1 ? stem : stem + Number(i + 1, 3);
            std::string path = folder;
            path += '\\';
            path += name;
            path += Extension(kind);
            m_set.Add(std::move(path),
                      FillerFile(kind, name, Hash(uint32_t(m_set.files.size()), 99)));
        }
    }
    std::size_t Count() const { return m_set.files.size(); }

private:
    FileSet& m_set;
};

std::string Gbk(const char* utf8) {
    return Base::Utf8ToGbk(utf8);
}

constexpr std::array<const char*, 24> kPeople = {
    "guard",     "merchant",  "blacksmith", "farmer",  "monk",      "archer",
    "priest",    "knight",    "bandit",     "scholar", "fisher",    "hunter",
    "herbalist", "general",   "princess",   "elder",   "innkeeper", "courier",
    "thief",     "swordsman", "dancer",     "beggar",  "captain",   "sage"};
constexpr std::array<const char*, 16> kBeasts = {
    "wolf",  "bear",  "tiger",    "crane",  "fox",   "spider", "boar", "snake",
    "eagle", "ghost", "skeleton", "goblin", "golem", "dragon", "bat",  "scorpion"};

void Characters(Filler& f, uint32_t perKind) {
    for (uint32_t i = 0; i < perKind; ++i) {
        const std::string npc =
            std::string(kPeople[i % kPeople.size()]) + "_" + Number(i / kPeople.size() + 1, 2);
        f.Add("\\chars\\npc\\" + npc + "\\tex", npc + "_", 8, {Kind::Dds});
        f.Add("\\chars\\npc\\" + npc, npc + "_cfg", 2, {Kind::Ini, Kind::Lua});
        const std::string beast =
            std::string(kBeasts[i % kBeasts.size()]) + "_" + Number(i / kBeasts.size() + 1, 2);
        f.Add("\\chars\\monster\\" + beast + "\\tex", beast + "_", 6, {Kind::Dds});
        f.Add("\\chars\\monster\\" + beast + "\\sound", beast + "_", 4, {Kind::Wav});
    }
    // Folders whose names differ only in letter case, as old and new tools wrote them.
    f.Add("\\chars\\Common\\tex", "common_", 40, {Kind::Dds});
    f.Add("\\chars\\common\\tex", "common_", 40, {Kind::Dds});
    f.Add("\\chars\\hero\\sound", "hero_", 24, {Kind::Wav});
    f.Add("\\chars\\hero\\portrait", "hero_portrait_", 6, {Kind::Dds});
}

void Maps(Filler& f, uint32_t tiles) {
    const std::array<std::string, 6> maps = {"town01", "Town01",  "forest",
                                             "desert", "harbour", Gbk("长安城")};
    for (const std::string& map : maps) {
        for (uint32_t region = 0; region < 8; ++region) {
            const std::string folder = "\\maps\\" + map + "\\region" + Number(region, 2);
            f.Add(folder, "tile_", tiles, {Kind::Terrain, Kind::Dds});
        }
        f.Add("\\maps\\" + map, map == maps[5] ? Gbk("场景") : "scene", 4, {Kind::Xml, Kind::Lua});
    }
}

void Effects(Filler& f, uint32_t each) {
    for (const char* group : {"skill", "hit", "buff", "weather", "ui", "summon"}) {
        for (uint32_t i = 0; i < 20; ++i) {
            const std::string folder = std::string("\\effects\\") + group + "\\fx" + Number(i, 3);
            f.Add(folder, "part_", each, {Kind::Dds, Kind::Effect, Kind::Dds});
        }
    }
}

void Items(Filler& f, uint32_t count) {
    f.Add("\\items\\icons", "icon_", count, {Kind::Dds});
    f.Add("\\items\\models\\sword", "sword_", count / 8, {Kind::Dds});
    f.Add("\\items\\models\\armor", "armor_", count / 8, {Kind::Dds});
    f.Add("\\scripts\\quest", "quest_", count / 4, {Kind::Lua});
    f.Add("\\scripts\\ai", "ai_", count / 8, {Kind::Lua});
    f.Add("\\config", "table_", 40, {Kind::Ini, Kind::Xml, Kind::Text});
    f.Add("\\config", "version", 1, {Kind::Ini});
}

void Sounds(Filler& f, uint32_t each) {
    for (const char* folder :
         {"\\sound\\Ambient", "\\sound\\ambient", "\\sound\\skill", "\\sound\\ui",
          "\\sound\\footstep", "\\sound\\monster", "\\sound\\music"}) {
        f.Add(folder, "snd_", each, {Kind::Wav});
    }
    const std::string voice = "\\sound\\" + Gbk("语音");
    f.Add(voice + "\\" + Gbk("对话"), Gbk("对话_"), 60, {Kind::Wav});
    f.Add(voice + "\\" + Gbk("战斗"), Gbk("战斗_"), 60, {Kind::Wav});
}

void Interface(Filler& f, uint32_t each) {
    for (const char* screen : {"login", "main", "bag", "skill", "map", "shop", "chat", "team",
                               "mail", "guild", "quest", "option"}) {
        const std::string folder = std::string("\\ui\\") + screen;
        f.Add(folder, std::string(screen) + "_", each,
              {Kind::Dds, Kind::Dds, Kind::Xml, Kind::Lua});
    }
    f.Add("\\ui\\Icons", "icon_", 120, {Kind::Dds});
    f.Add("\\ui\\icons", "icon_", 120, {Kind::Dds});
    const std::string icons = "\\ui\\" + Gbk("图标");
    f.Add(icons + "\\" + Gbk("技能"), Gbk("技能_"), 80, {Kind::Dds});
    f.Add(icons + "\\" + Gbk("物品"), Gbk("物品_"), 80, {Kind::Dds});
    f.Add(icons + "\\" + Gbk("装备"), Gbk("装备_"), 60, {Kind::Dds});
    f.Add("\\ui\\" + Gbk("字体"), Gbk("字库_"), 4, {Kind::Text});
}

}  // namespace

FillerFiles MakeFiller(std::size_t target) {
    FillerFiles files;
    Filler characters(files.characters);
    Characters(characters, 130);
    Filler ui(files.ui);
    Interface(ui, 180);
    Filler sound(files.sound);
    Sounds(sound, 420);
    Filler data(files.data);
    Effects(data, 14);
    Items(data, 1600);
    // The maps fill up to the target; the other folders keep their size.
    const std::size_t sofar = characters.Count() + ui.Count() + sound.Count() + data.Count();
    constexpr std::size_t kMapFolders = std::size_t{6} * 8;
    constexpr std::size_t kMapScenes = std::size_t{6} * 4;
    const auto tiles =
        uint32_t(target > sofar + kMapScenes ? (target - sofar - kMapScenes) / kMapFolders : 1);
    Maps(data, tiles);

    // Most of the game's bulk: the fastest compression keeps the whole run short.
    constexpr int kFillerLevel = 1;
    for (FileSet* set : {&files.characters, &files.data, &files.sound, &files.ui}) {
        for (PakFile& file : set->files) {
            file.level = kFillerLevel;
        }
    }

    Filler patch(files.patch);
    patch.Add("\\config", "version", 1, {Kind::Ini});
    patch.Add("\\ui\\login", "login_", 2, {Kind::Dds});
    patch.Add("\\sound\\ui", "snd_", 2, {Kind::Wav});
    patch.Add("\\ui\\event", "event_", 12, {Kind::Dds, Kind::Xml});
    return files;
}

}  // namespace SampleBuild

namespace {

void CompressAll(std::vector<SampleArchive>& archives) {
    std::vector<PakFile*> all;
    for (SampleArchive& archive : archives) {
        for (PakFile& file : archive.files) {
            all.push_back(&file);
        }
    }
    SampleBuild::OnTwoThreads(all.size(), [&](std::size_t i) {
        all[i]->stream = ZlibCompress(all[i]->data, all[i]->level);
    });
}

void Append(std::vector<PakFile>& to, std::vector<PakFile>&& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

}  // namespace

SampleGame MakeSampleGame(const SampleOptions& options) {
    SampleBuild::CharacterFiles character;
    SampleBuild::FileSet crowd;
    const std::size_t heroFiles = 64;
    SampleBuild::FillerFiles filler;
    SampleBuild::Both(
        [&] {
            character = SampleBuild::MakeCharacter();
            crowd = SampleBuild::MakeCrowd(options.characters);
        },
        [&] { filler = SampleBuild::MakeFiller(Sample::kTargetEntries - heroFiles); });

    SampleGame game;
    game.archives.resize(5);
    game.archives[0].name = Sample::kPatchArchive;
    Append(game.archives[0].files, std::move(character.patch.files));
    Append(game.archives[0].files, std::move(filler.patch.files));
    game.archives[1].name = "char.pak";
    Append(game.archives[1].files, std::move(character.base.files));
    Append(game.archives[1].files, std::move(filler.characters.files));
    game.archives[2].name = "data.pak";
    game.archives[2].files = std::move(filler.data.files);
    game.archives[3].name = "sound.pak";
    game.archives[3].files = std::move(filler.sound.files);
    game.archives[4].name = "ui.pak";
    game.archives[4].files = std::move(filler.ui.files);
    if (!crowd.files.empty()) {
        // After char.pak in the listing order, as a later expansion would be.
        auto at = game.archives.insert(game.archives.begin() + 2, SampleArchive{});
        at->name = Sample::kCrowdArchive;
        at->files = std::move(crowd.files);
    }
    SampleBuild::ApplyPatch(game.archives, options.patch);
    CompressAll(game.archives);
    return game;
}

std::size_t SaveSampleGame(const SampleGame& game, const std::string& folder) {
    std::size_t bytes = 0;
    for (const SampleArchive& archive : game.archives) {
        const std::vector<uint8_t> pak = WritePak(archive.files);
        SaveBytes((std::filesystem::path(folder) / archive.name).string(), pak);
        bytes += pak.size();
    }
    return bytes;
}

}  // namespace Forge
