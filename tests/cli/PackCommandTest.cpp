// vell pack and vell mods end to end, one command line a row: mod folders packed into
// archives, refused with nothing written, checked against a game whose archives they must
// never touch; a game's archives that override one another.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "CommandRows.h"
#include "TestUtil.h"
#include "forge/pak.h"
#include "pakmgr/writer.h"

namespace {

namespace fs = std::filesystem;
using Forge::PakFile;

void Write(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    Forge::SaveBytes(path, Forge::Bytes(text));
}

// A game archive as vell pack writes one, with the mark.
void SavePacked(const fs::path& path, const std::vector<PakFile>& files) {
    std::vector<std::string> paths;
    std::vector<uint32_t> sizes;
    std::vector<std::vector<uint8_t>> streams;
    for (const PakFile& f : files) {
        paths.push_back(f.path);
        sizes.push_back(static_cast<uint32_t>(f.data.size()));
        streams.push_back(Forge::ZlibCompress(f.data));
    }
    Forge::SaveBytes(path, PakMgr::ArchiveBytes(paths, sizes, streams, true));
}

struct Folders {
    Folders() {
        // {F}: a mod of the game {G}: one file it overrides, one it adds, a Chinese name.
        Write(root / "mod/chars/hero/hero.skn", "modded skin");
        Write(root / "mod/new/readme.txt", "new");
        Write(root / "mod/中文.txt", "zh");
        fs::create_directories(root / "empty/sub");
        Write(root / "names/ok.txt", "ok");
        Write(root / "names/😀.txt", "emoji");
        Write(root / ("names/" + std::string(255, 'a')), "long");
        Write(root / "outside/a.txt", "a");
        fs::create_symlink("/etc/hostname", root / "outside/host");
        Write(root / "dead/a.txt", "a");
        fs::create_symlink("gone.txt", root / "dead/b.txt");
        Write(root / "huge/small.txt", "s");
        Write(root / "huge/huge.bin", "");
        fs::resize_file(root / "huge/huge.bin", uint64_t{4} << 30);  // sparse: nothing stored
        Forge::SavePak(game / "data.pak", {{"\\chars\\hero\\hero.skn", Forge::Bytes("skin")},
                                           {"\\ui\\x.txt", Forge::Bytes("x")}});
        Forge::SavePak(game / "000_patch.pak", {{"\\ui\\x.txt", Forge::Bytes("patched")}});
        // The second part of an earlier, longer split of the mod 0_re.
        SavePacked(game / "0_re_1.pak", {{"\\re.txt", Forge::Bytes("stale")}});
        Write(root / "uimod/ui/x.txt", "mod x");
        // {C}: two mods that meet at x.txt over the game's data.pak.
        Forge::SavePak(mods / "data.pak", {{"\\x.txt", Forge::Bytes("x")},
                                           {"\\y.txt", Forge::Bytes("y")},
                                           {"\\z.txt", Forge::Bytes("z")}});
        SavePacked(mods / "0_a.pak",
                   {{"\\x.txt", Forge::Bytes("ax")}, {"\\y.txt", Forge::Bytes("ay")}});
        Forge::SavePak(mods / "1_b.pak",
                       {{"\\x.txt", Forge::Bytes("bx")}, {"\\z.txt", Forge::Bytes("bz")}});
    }
    TestUtil::TempDir root, game, mods;
};

const Folders& TheFolders() {
    static const Folders folders;
    return folders;
}

struct Case {
    const char* name;
    // {F} the mod folder, {R} the folders' root, {O} a fresh output folder, {G} a fresh copy
    // of the game in {O}/game, {C} a game with two mods
    std::vector<std::string> args;
    int exit;
    std::string err;                 // what stderr starts with; all of it when it ends a line
    std::vector<std::string> out;    // texts stdout holds
    std::vector<std::string> files;  // below {O}: "p" is there, "!p" is not, "p@n" has n bytes
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const std::string kDataPakSize =
    std::to_string(Forge::WritePak({{"\\chars\\hero\\hero.skn", Forge::Bytes("skin")},
                                    {"\\ui\\x.txt", Forge::Bytes("x")}})
                       .size());

// clang-format off
const std::vector<Case> kCases = {
    {"Pack", {"pack", "{F}", "-o", "{O}/mod.pak"}, 0, "", {"packed 3 files (16 bytes) into "}, {"mod.pak"}},
    {"PackAtEveryLevel", {"pack", "{F}", "-o", "{O}/mod.pak", "--level", "12", "--jobs", "1"}, 0, "", {"packed 3 files"}, {"mod.pak"}},
    {"PackIntoAFolderToMake", {"pack", "{F}", "-o", "{O}/new/deeper/mod.pak"}, 0, "", {"packed 3 files"}, {"new/deeper/mod.pak"}},
    {"PackSplitWhenSmallIsOneArchive", {"pack", "{F}", "-o", "{O}/mod.pak", "--split"}, 0, "", {": {O}/mod.pak\n"}, {"mod.pak", "!mod_1.pak"}},
    // refusals: nothing written
    {"PackEmptyFolder", {"pack", "{R}/empty", "-o", "{O}/x.pak"}, 2, "vell: no file to pack in {R}/empty\n", {}, {"!x.pak"}},
    {"PackNoFolder", {"pack", "{O}/none", "-o", "{O}/x.pak"}, 2, "vell: no folder {O}/none\n", {}, {"!x.pak"}},
    {"PackIntoItself", {"pack", "{R}/mod", "-o", "{R}/mod/sub/x.pak"}, 2, "vell: the archive {R}/mod/sub/x.pak would lie inside the folder it packs\n"},
    {"PackNamesThatDontFit", {"pack", "{R}/names", "-o", "{O}/x.pak"}, 1, "vell: " + std::string(255, 'a') + ": its archive path of 256 bytes is longer than a record's 255\nvell: 😀.txt: code page 936 can't hold its name\nvell: nothing written: 2 file(s) can't go into an archive\n", {}, {"!x.pak"}},
    {"PackLinkOutside", {"pack", "{R}/outside", "-o", "{O}/x.pak"}, 1, "vell: host: a link to /etc/hostname, outside the folder\nvell: nothing written: 1 file(s)", {}, {"!x.pak"}},
    {"PackUnreadable", {"pack", "{R}/dead", "-o", "{O}/x.pak"}, 1, "vell: b.txt: a link to nothing that can be read\nvell: nothing written: 1 file(s)", {}, {"!x.pak"}},
    {"PackFileOf4GiB", {"pack", "{R}/huge", "-o", "{O}/x.pak"}, 1, "vell: huge.bin: 4 GiB or more, past what an archive's 32-bit sizes hold\nvell: nothing written: 1 file(s) can't go into an archive\n", {}, {"!x.pak"}},
    {"PackNoOutput", {"pack", "{F}"}, 2, "vell: missing -o FILE.pak or --game GAME_DIR\nusage: vell pack "},
    {"PackNameWithOutput", {"pack", "{F}", "-o", "{O}/x.pak", "--name", "x"}, 2, "vell: --name names the archive", {}, {"!x.pak"}},
    {"PackLevelZero", {"pack", "{F}", "-o", "{O}/x.pak", "--level", "0"}, 2, "vell: bad --level (want 1 to 12): 0\nusage: vell pack ", {}, {"!x.pak"}},
    {"PackLevelPastTheLimit", {"pack", "{F}", "-o", "{O}/x.pak", "--level", "13"}, 2, "vell: bad --level (want 1 to 12): 13\nusage: vell pack ", {}, {"!x.pak"}},
    {"PackJobsPastTheLimit", {"pack", "{F}", "-o", "{O}/x.pak", "--jobs", "65"}, 2, "vell: bad --jobs (want 1 to 64): 65\nusage: vell pack ", {}, {"!x.pak"}},
    {"PackTwoFolders", {"pack", "{F}", "{F}", "-o", "{O}/x.pak"}, 2, "vell: extra argument: {F}\nusage: vell pack ", {}, {"!x.pak"}},
    // --game: what the mod does to each path; a loss refuses and names a name that wins
    {"GameOverridesAndAdds", {"pack", "{F}", "--game", "{G}", "--name", "0_mod"}, 0, "", {"overrides\tchars/hero/hero.skn\tdata.pak\n", "new\tnew/readme.txt\n", "new\t中文.txt\n", "0_mod.pak: 1 overridden, 2 new, 0 losing\n"}, {"game/0_mod.pak"}},
    {"GameLossRefused", {"pack", "{F}", "--game", "{G}"}, 1, "vell: nothing written: 1 file(s) of mod.pak lose to archives the game reads first; 0mod.pak would win (--name 0mod)\n", {"loses to\tchars/hero/hero.skn\tdata.pak\n"}, {"!game/mod.pak"}},
    {"GameLossToAPatch", {"pack", "{R}/uimod", "--game", "{G}", "--name", "000_x"}, 1, "vell: nothing written: 1 file(s) of 000_x.pak lose to archives the game reads first; 0000_x.pak would win (--name 0000_x)\n", {"loses to\tui/x.txt\t000_patch.pak\n"}, {"!game/000_x.pak"}},
    {"GameWinsOverAPatch", {"pack", "{R}/uimod", "--game", "{G}", "--name", "0000_x"}, 0, "", {"overrides\tui/x.txt\t000_patch.pak\n"}, {"game/0000_x.pak"}},
    {"GameStalePartSaid", {"pack", "{F}", "--game", "{G}", "--name", "0_re"}, 0, "vell: {G}/0_re_1.pak, written by an earlier vell pack, is still there: the game reads it too (remove it if it was part of this mod)\n", {"0_re.pak: 1 overridden, 2 new, 0 losing\n"}, {"game/0_re.pak", "game/0_re_1.pak"}},
    {"GameArchiveNeverReplaced", {"pack", "{F}", "--game", "{G}", "--name", "data"}, 1, "vell: data.pak is an archive of the game, not one vell pack wrote: choose another --name\n", {}, {"game/data.pak@" + kDataPakSize}},
    {"OutputNeverOverAnArchiveNotPacked", {"pack", "{F}", "-o", "{G}/data.pak"}, 1, "vell: {G}/data.pak is not an archive vell pack wrote: choose another -o\n", {}, {"game/data.pak@" + kDataPakSize}},
    {"GameArchiveNeverReplacedThroughOutput", {"pack", "{F}", "--game", "{G}", "-o", "{G}/data.pak"}, 1, "vell: data.pak is an archive of the game", {}, {"game/data.pak@" + kDataPakSize}},
    {"GameMissing",
     {"pack", "{F}", "--game", "{O}/none"},
     2,
     "vell: where is the game ?!\nvell: {O}/none: no such folder\n"},
    // mods
    {"ModsTwoThatMeet", {"mods", "{C}"}, 0, "", {"0_a.pak\t2 overridden\tvell pack\n\tx.txt\tover 1_b.pak data.pak\n\ty.txt\tover data.pak\n1_b.pak\t2 overridden\n\tx.txt\tover data.pak\n\tz.txt\tover data.pak\n", "conflict\tx.txt\t0_a.pak wins over 1_b.pak\n2 archive(s) override others, 1 path(s) held by two or more of them\n"}},
    {"ModsTheGamesOwnPatch", {"mods", "{G}"}, 0, "", {"000_patch.pak\t1 overridden\n\tui/x.txt\tover data.pak\n1 archive(s) override others, 0 path(s)"}},
    {"ModsNoGame", {"mods", "{O}"}, 2, "vell: where is the game ?!\nvell: {O}: no .pak in it\n"},
    {"ModsNoFolder", {"mods"}, 2, "vell: missing GAME_DIR\nusage: vell mods GAME_DIR\n"},
};
// clang-format on

std::string Substituted(std::string text, const std::string& out) {
    const Folders& f = TheFolders();
    const std::pair<const char*, std::string> keys[] = {{"{F}", f.root / "mod"},
                                                        {"{R}", f.root.Path()},
                                                        {"{G}", out + "/game"},
                                                        {"{C}", f.mods.Path()},
                                                        {"{O}", out}};
    return CommandRows::Substituted(std::move(text), keys);
}

class Pack : public ::testing::TestWithParam<Case> {};

TEST_P(Pack, ExitMessageAndFiles) {
    const Case& c = GetParam();
    TestUtil::TempDir out;
    fs::copy(TheFolders().game.Path(), out / "game", fs::copy_options::recursive);
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
        arg = Substituted(arg, out.Path());
    }
    const TestUtil::RunResult r = TestUtil::Vell(args);
    EXPECT_EQ(r.exitCode, c.exit) << r.err;
    const std::string err = Substituted(c.err, out.Path());
    EXPECT_EQ(r.err.substr(0, err.size()), err);
    if (err.empty() || err.ends_with('\n')) {
        EXPECT_EQ(r.err, err);
    }
    for (const std::string& text : c.out) {
        EXPECT_NE(r.out.find(Substituted(text, out.Path())), std::string::npos)
            << text << " not in:\n"
            << r.out;
    }
    for (const std::string& file : c.files) {
        CommandRows::ExpectFile(out.Path(), file);
    }
    // Nothing half-written: no temporary file anywhere.
    for (const auto& entry : fs::recursive_directory_iterator(out.Path())) {
        EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Vell, Pack, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every file of a folder as its bytes, by relative path.
std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).string()] = TestUtil::ReadText(entry.path());
        }
    }
    return files;
}

// pack, then extract --all, gives the folder back byte for byte; a link inside the folder is
// followed; the same folder packs to the same bytes on any number of workers; a mod packed
// into the game may be packed again over itself, and then wins there.
TEST(PackRoundTrip, ExtractGivesTheFolderBack) {
    TestUtil::TempDir folder, out;
    Write(folder / "chars/hero/hero.skn", "modded skin");
    Write(folder / "中文/文件.txt", std::string(100000, 'z'));
    Write(folder / "empty.txt", "");
    fs::create_symlink("chars/hero/hero.skn", folder / "link.skn");
    std::map<std::string, std::string> expected = Contents(folder.Path());
    expected["link.skn"] = "modded skin";
    fs::create_directories(out / "one");
    fs::create_directories(out / "two");
    ASSERT_EQ(
        TestUtil::Vell({"pack", folder.Path(), "-o", out / "one/m.pak", "--jobs", "1"}).exitCode,
        0);
    ASSERT_EQ(
        TestUtil::Vell({"pack", folder.Path(), "-o", out / "two/m.pak", "--jobs", "4"}).exitCode,
        0);
    EXPECT_EQ(TestUtil::ReadBytes(out / "one/m.pak"), TestUtil::ReadBytes(out / "two/m.pak"));
    const auto extracted = TestUtil::Vell({"extract", out / "one", "--all", "-o", out / "back"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(Contents(out / "back"), expected);

    const std::string game = TheFolders().game.Path();
    fs::copy(game, out / "game", fs::copy_options::recursive);
    for (int i = 0; i < 2; ++i) {
        const auto r =
            TestUtil::Vell({"pack", folder.Path(), "--game", out / "game", "--name", "0_me"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const auto which = TestUtil::Vell({"which", out / "game", "chars/hero/hero.skn"});
    EXPECT_NE(which.out.find("\t0_me.pak\t\\chars\\hero\\hero.skn\n"), std::string::npos)
        << which.out;
    EXPECT_LT(which.out.find("0_me.pak"), which.out.find("data.pak"));
}

}  // namespace
