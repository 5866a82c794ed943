// The vell binary end to end, one command line a row: its exit status, the start of what it
// says on stderr, texts on stdout and the files it leaves. Three game folders made by the
// project's writers: archives only ({A}), models for info and obj ({M}), and a small
// textured character with textures beside it for frames and texture ({S}).
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "CommandRows.h"
#include "TestUtil.h"
#include "forge/scene.h"

namespace {

namespace fs = std::filesystem;
using Forge::PakFile;
using SceneFiles::kAnimationArg;
using SceneFiles::kSkinArg;
using TestUtil::Repeat;

const std::string kGbkLong = Repeat("\xd6\xd0", 120);  // 中 × 120, cut to 83 on extraction
const std::string kUtf8Cut = Repeat("中", 83);

std::vector<PakFile> ArchiveFiles() {
    return {{"\\chars\\hero\\hero.skn", Forge::Bytes("skin")},
            {"\\chars\\hero\\hero.msh", Forge::Bytes("mesh!")},
            {"\\ui\\\xd6\xd0\xce\xc4.txt", Forge::Bytes("zh")},
            {"\\evil\\..", Forge::Bytes("dots")},
            {.path = "\\broken.bin", .data = Forge::Bytes("x"), .inflatedSize = 9}};
}

Forge::SubMeshDesc SubMesh(const std::string& name, std::vector<Forge::Vec3> positions,
                           uint32_t strip) {
    const std::size_t n = positions.size();
    Forge::SubMeshDesc s{.name = name, .stripFlag = strip, .positions = positions};
    s.indices = n == 3 ? std::vector<uint16_t>{0, 1, 2} : std::vector<uint16_t>{0, 1, 2, 3};
    s.normals.assign(n, {1, 0, 0});
    s.texCoords = {{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}};
    s.texCoords.resize(n);
    s.boneSlots.assign(n, {0, Forge::kNoBoneSlot, Forge::kNoBoneSlot, Forge::kNoBoneSlot});
    s.boneWeights.assign(n, {1, 0, 0, 0});
    return s;
}

Forge::MaterialDesc Textured(const std::string& texture) {
    Forge::MaterialDesc material;
    material.params = {Forge::TextParam("g_DiffuseTex", texture)};
    return material;
}

// chars/hero: a skin of two strips with a walk moving the root 10 along x; info/: files of
// every kind for `vell info`.
std::vector<PakFile> ModelFiles() {
    Forge::MeshDesc mesh{.bones = {{"root"}}};
    for (auto [name, x] : {std::pair{"body", 1.0f}, {"cape", 2.0f}}) {
        mesh.subMeshes.push_back(SubMesh(name, {{x, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}, 1));
        mesh.subMeshes.back().boneNames = std::vector<std::string>{"root"};
    }
    Forge::SkinDesc skin{.meshName = "Hero.MSH", .materials = {Textured("Body.dds"), {}}};
    Forge::SkinDesc v11 = skin;
    v11.version = 11;
    Forge::TrackDesc walk{.positionKeys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}}};
    Forge::AnimationDesc ani{.animationNames = {"walk"}, .frameCounts = {11}};
    ani.bones = {{"root", "", {walk}}};

    Forge::MeshDesc info{.name = "hero", .version = 12, .boxMin = {-1, -2, -3}};
    info.boxMax = {1, 2, 3.5f};
    info.bones = {{"Bip01"}, {"Bip01 Spine"}};
    const std::vector<Forge::Vec3> triangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    info.subMeshes = {SubMesh("body", triangle, 0), SubMesh("\xd6\xd0\xce\xc4", triangle, 1)};
    info.subMeshes[0].boneNames = std::vector<std::string>{"Bip01"};
    Forge::MeshDesc newer = info;
    newer.version = 14;
    Forge::MaterialDesc material = Textured("\xd6\xd0\xce\xc4.DDS");
    material.params.push_back(Forge::ColourParam("g_MaterialDiffuse", {1, 0.5f, 0, 1}));
    material.params.push_back(Forge::ScalarParam("g_EmissivePower", 2));
    Forge::AnimationDesc infoAni{.version = 11, .animationNames = {"walk", "run"}};
    infoAni.frameCounts = {30, 12};
    infoAni.bones = {{"Bip01", "", {{}, {}}}, {"Bip01 Spine", "Bip01", {{}, {}}}};
    std::vector<uint8_t> cutAni = Forge::WriteAnimation(infoAni);
    cutAni.resize(cutAni.size() - 3);
    return {
        {"\\chars\\hero\\hero.skn", Forge::WriteSkin(skin)},
        {"\\chars\\hero\\v11.skn", Forge::WriteSkin(v11)},
        {"\\chars\\hero\\hero.msh", Forge::WriteMesh(mesh)},
        {"\\chars\\hero\\tex\\body.dds",
         Forge::WriteDds(Forge::DdsDesc{}, std::vector<uint8_t>{10, 20, 30, 255})},
        {"\\chars\\hero\\hero.ani", Forge::WriteAnimation(ani)},
        {"\\chars\\hero\\notes.txt", Forge::Bytes("not a skin")},
        {"\\info\\hero.msh", Forge::WriteMesh(info)},
        {"\\info\\hero.skn",
         Forge::WriteSkin({.name = "skin", .meshName = "Hero.msh", .materials = {material, {}}})},
        {"\\info\\hero.ani", Forge::WriteAnimation(infoAni)},
        {"\\info\\skin.dds",
         Forge::WriteDds(Forge::DdsDesc{.width = 4, .height = 2}, std::vector<uint8_t>(32))},
        {"\\info\\new.msh", Forge::WriteMesh(newer)},
        {"\\info\\cut.ani", cutAni},
        {"\\info\\empty.skn", {}},
        {"\\info\\notes.txt", Forge::Bytes("hello")},
    };
}

// The character under chars/hero, copies of it under other folders with one file changed,
// and textures under tex/.
std::vector<PakFile> SceneGameFiles() {
    std::vector<PakFile> files = SceneFiles::FilesOf({});
    const auto copy = [&](const std::string& folder, const std::string& file,
                          std::vector<uint8_t> data) {
        for (std::size_t i = 0; i < 4; ++i) {
            PakFile f = files[i];
            f.path.replace(7, 4, folder);  // "\chars\hero\..."
            if (f.path.ends_with(file)) {
                f.data = data;
            }
            files.push_back(f);
        }
    };
    copy("cutm", ".msh", std::vector<uint8_t>(files[1].data.begin(), files[1].data.begin() + 100));
    copy("cuta", ".ani", std::vector<uint8_t>(files[3].data.begin(), files[3].data.begin() + 40));
    const Forge::DdsDesc dxt1{.width = 4, .height = 4, .format = Forge::DdsFormat::DXT1};
    std::vector<uint8_t> rgba;  // the scene's texel
    for (int i = 0; i < 16; ++i) {
        rgba.insert(rgba.end(), {0xC8, 0x64, 0x32, 0xFF});
    }
    copy("dxt1", ".dds", Forge::WriteDds(dxt1, Forge::EncodeDxt(dxt1.format, 4, 4, rgba)));
    // 4×8 DXT1: a red block above a three-colour block (blue, red, purple, clear by column).
    const std::vector<uint8_t> stripes = {0x00, 0xF8, 0,    0,    0,    0,    0,    0,
                                          0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
    Forge::DdsDesc rgb{.width = 3, .bitCount = 24, .masks = {0xFF0000, 0xFF00, 0xFF, 0}};
    rgb.alpha = false;
    Forge::DdsDesc cube = dxt1;
    cube.cubeMap = true;
    Forge::DdsDesc tall = dxt1;
    tall.height = 8;
    files.push_back({"\\tex\\stripes.dds", Forge::WriteDds(tall, stripes)});
    files.push_back(
        {"\\tex\\rgb.dds", Forge::WriteDds(rgb, std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7})});
    files.push_back({"\\tex\\cube.dds", Forge::WriteDds(cube, std::vector<uint8_t>(48))});
    files.push_back({"\\tex\\short.dds", std::vector<uint8_t>(60, 1)});
    return files;
}

// Sub-mesh and skin names of 110 × 中 (330 bytes in UTF-8) beside the character.
std::vector<PakFile> LongNamedFiles() {
    const std::string gbk = Repeat("\xd6\xd0", 110);
    SceneFiles::Scene scene;
    scene.patches.resize(2);
    Forge::MeshDesc mesh = SceneFiles::MeshOf(scene);
    mesh.subMeshes[0].name = gbk + "a";
    mesh.subMeshes[1].name = gbk + "b";
    const std::vector<uint8_t> skin = Forge::WriteSkin(SceneFiles::SkinOf(scene));
    return {{SceneFiles::kSkin, skin},
            {SceneFiles::kMesh, Forge::WriteMesh(mesh)},
            {SceneFiles::kTexture, SceneFiles::TextureOf(scene)},
            {"\\chars\\hero\\" + gbk + "1.skn", skin},
            {"\\chars\\hero\\" + gbk + "2.skn", skin}};
}

// Names that meet once made safe or cut, in one folder each: a name cut to the file system's
// limit and one that has that length already; ".", "..", an empty name and "_"; a model
// beside folders named as its glTF file and its OBJ folder, each holding a model; another "_".
// A skin named in capitals is no skin to the model, so --each passes it by. Two files of one
// name in folders whose names differ in case.
std::vector<PakFile> MeetingNameFiles() {
    std::vector<PakFile> files = SceneFiles::FilesOf({});
    files.push_back({"\\chars\\LOUD.SKN", files[0].data});
    for (const char* folder : {"hero.glb", "hero"}) {
        for (std::size_t i = 0; i < 4; ++i) {
            PakFile copy = files[i];
            copy.path.insert(12, std::string(folder) + "\\");  // "\chars\hero\<folder>\..."
            files.push_back(copy);
        }
    }
    files.push_back({"\\n\\" + Repeat("\xd6\xd0", 100) + ".dds", Forge::Bytes("cut")});
    files.push_back({"\\n\\" + Repeat("\xd6\xd0", 83) + ".dds", Forge::Bytes("uncut")});
    for (const char* name : {".", "..", "", "_"}) {
        files.push_back(
            {std::string("\\dots\\") + name, Forge::Bytes(std::string("[") + name + "]")});
    }
    files.push_back({"\\more\\_", Forge::Bytes("more")});
    // Two folders whose names differ only in case, each holding a file of one name.
    files.push_back({"\\chars\\Common\\tex\\c.dds", Forge::Bytes("upper")});
    files.push_back({"\\chars\\common\\tex\\c.dds", Forge::Bytes("lower")});
    return files;
}

// An update of a small game: a file changed, one gone, three new, one (dup.txt) held twice in
// one archive and once more in the update's archive, which also holds same.txt with other
// stored bytes (another compression level) but the same content.
std::vector<PakFile> OlderFiles() {
    return {{"\\same.txt", Forge::Bytes("same")},
            {"\\changed.txt", Forge::Bytes("before")},
            {"\\gone.txt", Forge::Bytes("bye")},
            {"\\long\\" + kGbkLong + "1.txt", Forge::Bytes("one")}};
}

std::vector<PakFile> NewerFiles() {
    return {{"\\same.txt", Forge::Bytes("same")},
            {"\\changed.txt", Forge::Bytes("after")},
            {"\\new.txt", Forge::Bytes("hi")},
            {"\\dup.txt", Forge::Bytes("first")},
            {"\\dup.txt", Forge::Bytes("second")},
            {"\\long\\" + kGbkLong + "1.txt", Forge::Bytes("one")},
            {"\\long\\" + kGbkLong + "2.txt", Forge::Bytes("two")}};
}

// The older game with changed.txt's table claiming 99 inflated bytes: it can't be read.
std::vector<PakFile> BrokenFiles() {
    std::vector<PakFile> files = OlderFiles();
    files[1].inflatedSize = 99;
    return files;
}

struct Games {
    Games() {
        Forge::SavePak(older / "data.pak", OlderFiles());
        Forge::SavePak(newer / "data.pak", NewerFiles());
        Forge::SavePak(newer / "0.pak",
                       {{.path = "\\same.txt", .data = Forge::Bytes("same"), .level = 1},
                        {"\\dup.txt", Forge::Bytes("update")}});
        Forge::SavePak(broken / "data.pak", BrokenFiles());
        Forge::SavePak(archives / "data.pak", ArchiveFiles());
        Forge::SavePak(archives / "patch.pak",
                       {{"\\chars\\hero\\hero.skn", Forge::Bytes("patched")}});
        Forge::SavePak(archives / "xlong.pak",
                       {{"\\long\\" + kGbkLong + "1.txt", Forge::Bytes("one")},
                        {"\\long\\" + kGbkLong + "2.txt", Forge::Bytes("two")}});
        Forge::SavePak(archives / "zbig.pak", {{"\\big.bin", std::vector<uint8_t>(100000, 7)}});
        Forge::SavePak(models / "data.pak", ModelFiles());
        Forge::SavePak(scene / "data.pak", SceneGameFiles());
        Forge::SavePak(longNames / "data.pak", LongNamedFiles());
        Forge::SavePak(meeting / "data.pak", MeetingNameFiles());
        // Beside a good archive: one cut short, one of text, one empty; and those alone.
        for (const fs::path& folder : {fs::path(skipping.Path()), fs::path(unreadable.Path())}) {
            Forge::SavePak(folder / "cut.pak", ArchiveFiles(), {.cutTo = 300});
            Forge::SaveBytes(folder / "text.pak", Forge::Bytes(Repeat("not an archive. ", 20)));
            Forge::SaveBytes(folder / "empty.pak", {});
        }
        Forge::SavePak(skipping / "data.pak", {{"\\a.txt", Forge::Bytes("a")}});
    }
    TestUtil::TempDir archives, models, scene, longNames, meeting, older, newer, broken;
    TestUtil::TempDir skipping, unreadable;
};

const Games& TheGames() {
    static const Games games;
    return games;
}

struct Case {
    const char* name;
    // {A}, {M}, {S}, {L}, {N}: the games ({a}: {A} relative to the current directory); {1},
    // {2}: a game and its update, {B}: {1} with a file that can't be read; {X}: a game with
    // archives that can't be read beside one that can, {U}: those alone; {O}: a fresh
    // output folder
    std::vector<std::string> args;
    int exit;
    std::string err;                 // what stderr starts with; all of it when it ends a line
    std::vector<std::string> out;    // texts stdout holds
    std::vector<std::string> files;  // below {O}: "p" is there, "!p" is not, "p=text" holds text,
                                     // "p%text" contains it, "p@n" has n bytes, "d/#n" n files,
                                     // "*.x#n" n files named *.x anywhere below
    const char* env = nullptr;       // NAME=value while it runs; RLIMIT_FSIZE=n caps file sizes
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Not an environment: the row runs with stderr on a terminal (a pseudo-terminal).
constexpr const char* kTerminal = "TERMINAL";
const std::string kNoEgl = "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl-vendor.json";
std::vector<std::string> Joined(std::vector<std::string> args, std::vector<std::string> extra) {
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::vector<std::string> Frames(std::vector<std::string> extra, const char* skin = kSkinArg) {
    return Joined({"frames", "{S}", skin, "--ani", kAnimationArg}, std::move(extra));
}

std::vector<std::string> Obj(std::vector<std::string> extra) {
    return Joined({"obj", "{M}", "chars/hero/hero.skn", "-o", "{O}"}, std::move(extra));
}

std::vector<std::string> Gltf(std::vector<std::string> extra) {
    return Joined({"gltf", "{M}", "chars/hero/hero.skn", "-o", "{O}/x.glb"}, std::move(extra));
}

const std::string kAni = "chars/hero/hero.ani";
const std::string kUsage = "vell: ";
// The archives of {X} and {U} that can't be read, in the folder's order.
const std::string kSkipped =
    "vell: skipped cut.pak: its file table at byte 339 runs past its end (300 bytes)\n"
    "vell: skipped empty.pak: empty\n"
    "vell: skipped text.pak: its file table at byte 1768448882 runs past its end (320 bytes)\n";

// clang-format off
const std::vector<Case> kCases = {
    // list, tree, extract
    {"List", {"list", "{A}"}, 0, "", {"0\t4\t", "\tdata.pak\t\\chars\\hero\\hero.skn\n", "\\ui\\中文.txt\n", "5\t7\t", "\n9 entries in 4 archives\n"}},
    {"Tree", {"tree", "{A}"}, 0, "", {"chars/\t#0\n  hero/\t#0\n    hero.skn\t#0\n    hero.msh\t#1\n", "ui/\t#2\n  中文.txt\t#2\n"}},
    {"ExtractFirstArchiveWins", {"extract", "{A}", "chars/hero/hero.skn", "\\ui\\中文.txt", "-o", "{O}/x"}, 0, "", {}, {"x/hero.skn=skin", "x/中文.txt=zh"}},
    {"ExtractAllStaysInside", {"extract", "{A}", "--all", "-o", "{O}/all"}, 1, "vell: renamed long/" + Repeat("中", 120) + "2.txt to {O}/all/long/" + kUtf8Cut + "~1.txt: its name was taken\nvell: can't read broken.bin\n", {}, {"all/chars/hero/hero.msh=mesh!", "all/evil/_=dots", "!evil", "!all/broken.bin", "all/long/" + kUtf8Cut + ".txt=one", "all/long/" + kUtf8Cut + "~1.txt=two"}},
    {"ExtractFromARelativeGameFolder", {"extract", "{a}", "ui/中文.txt", "-o", "{O}"}, 0, "", {"wrote 1 of 1 files, 0 failed\n"}, {"中文.txt=zh"}},
    // Every name handed out in a folder is claimed, cut or not: one that meets another's gets ~N and is reported.
    {"ExtractNamesThatMeet", {"extract", "{N}", "n", "dots", "-o", "{O}"}, 0, "vell: renamed n/" + Repeat("中", 83) + ".dds to {O}/n/" + Repeat("中", 83) + "~1.dds: its name was taken\nvell: renamed dots/.. to {O}/dots/_~1: its name was taken\nvell: renamed dots/ to {O}/dots/_~2: its name was taken\nvell: renamed dots/_ to {O}/dots/_~3: its name was taken\n", {"wrote 6 of 6 files, 0 failed, 4 renamed\n"}, {"n/#2", "n/" + Repeat("中", 83) + ".dds=cut", "n/" + Repeat("中", 83) + "~1.dds=uncut", "dots/#4", "dots/_=[.]", "dots/_~1=[..]", "dots/_~2=[]", "dots/_~3=[_]"}},
    {"ExtractOnePathTwiceIsOneFile", {"extract", "{N}", "dots/_", "n/" + Repeat("中", 83) + ".dds", "/dots/_", "-o", "{O}"}, 0, "", {"wrote 2 of 2 files, 0 failed\n"}, {"#2", Repeat("中", 83) + ".dds=uncut", "_=[_]"}},
    // Two paths of one last name are two files, folders two folders.
    {"ExtractTwoPathsOfOneName", {"extract", "{N}", "chars/Common/tex/c.dds", "chars/common/tex/c.dds", "more/_", "dots/_", "-o", "{O}"}, 0, "vell: renamed chars/common/tex/c.dds to {O}/c~1.dds: its name was taken\nvell: renamed dots/_ to {O}/_~1: its name was taken\n", {"wrote 4 of 4 files, 0 failed, 2 renamed\n"}, {"#4", "c.dds=upper", "c~1.dds=lower", "_=more", "_~1=[_]"}},
    {"ExtractTwoFoldersOfOneName", {"extract", "{N}", "chars/Common/tex", "chars/common/tex", "-o", "{O}"}, 0, "vell: renamed chars/common/tex to {O}/tex~1: its name was taken\n", {"wrote 2 of 2 files, 0 failed, 1 renamed\n"}, {"tex/c.dds=upper", "tex~1/c.dds=lower"}},
    {"EachGlbNamesThatMeet", {"gltf", "{N}", "--each", "chars", "-o", "{O}", "--jobs", "1"}, 0, "vell: renamed hero/hero.glb/hero.skn to {O}/hero/hero~1.glb/hero.glb: its name was taken\n", {"wrote 3 of 3 models, 0 failed, 1 renamed\n"}, {"hero/#3", "hero/hero.glb", "hero/hero~1.glb/hero.glb", "hero/hero/hero.glb"}},
    {"EachObjNamesThatMeet", {"obj", "{N}", "--each", "chars", "-o", "{O}", "--jobs", "1"}, 0, "vell: renamed hero/hero/hero.skn to {O}/hero/hero~1/hero: its name was taken\n", {"wrote 3 of 3 models, 0 failed, 1 renamed\n"}, {"hero/#3", "hero/hero/#2", "hero/hero~1/#1", "hero/hero.glb/hero/#2"}},
    {"ExtractMissing", {"extract", "{A}", "chars/nobody.skn", "-o", "{O}"}, 2, "vell: no such file in the archives: chars/nobody.skn\n"},
    {"ExtractBroken", {"extract", "{A}", "broken.bin", "-o", "{O}"}, 1, "vell: can't read broken.bin\n", {}, {"#0"}},
    {"ExtractBelowAFile", {"extract", "{A}", "big.bin", "-o", "{A}/data.pak/out"}, 1, "vell: can't create folder"},
    {"ExtractPartlyWrittenIsRemoved", {"extract", "{A}", "big.bin", "-o", "{O}"}, 1, "vell: ", {}, {"#0"}, "RLIMIT_FSIZE=4096"},
    // A folder without archives: where is the game, and why.
    {"ListNoGame", {"list", "{O}"}, 2, "vell: where is the game ?!\nvell: {O}: no .pak in it\n"},
    {"ListGameMissing", {"list", "{O}/none"}, 2, "vell: where is the game ?!\nvell: {O}/none: no such folder\n"},
    {"ListGameNotAFolder", {"list", "{A}/data.pak"}, 2, "vell: where is the game ?!\nvell: {A}/data.pak: not a folder\n"},
    // Archives that can't be read are skipped, each said once; the others open.
    {"ListSkipsWhatCantBeRead", {"list", "{X}"}, 0, kSkipped, {"\tdata.pak\t\\a.txt\n1 entries in 1 archives\n"}},
    {"ExtractSkipsWhatCantBeRead", {"extract", "{X}", "a.txt", "-o", "{O}"}, 0, kSkipped, {"wrote 1 of 1 files, 0 failed\n"}, {"a.txt=a"}},
    {"ListNothingReadable", {"list", "{U}"}, 2, kSkipped + "vell: where is the game ?!\nvell: {U}: no readable .pak in it\n"},
    // A wrong count of arguments: what is missing, or what is extra.
    {"ListNoFolder", {"list"}, 2, "vell: missing GAME_DIR\nusage: vell list GAME_DIR\n"},
    {"ListExtra", {"list", "{A}", "extra", "more"}, 2, "vell: extra arguments: extra more\nusage: vell list GAME_DIR\n"},
    {"ExtractNoPath", {"extract", "{A}", "-o", "{O}"}, 2, "vell: missing PATH... (or --all)\nusage: vell extract "},
    {"ExtractAllAndAPath", {"extract", "{A}", "--all", "ui", "-o", "{O}"}, 2, "vell: extra argument: ui\nusage: vell extract "},
    {"ExtractNoOutput", {"extract", "{A}", "broken.bin"}, 2, kUsage},
    {"UnknownCommand", {"frobnicate"}, 2, kUsage},
    {"UnknownOption", {"tree", "{A}", "--bogus"}, 2, kUsage},
    // help and version: stdout and 0; usage errors: stderr and 2
    {"NoCommand", {}, 2, "usage: vell COMMAND ARGS...\n       vell help"},
    {"Version", {"--version"}, 0, "", {"vell " VELL_VERSION " (commit "}},
    {"Help", {"--help"}, 0, "", {"usage: vell COMMAND ARGS...\n", "\n  vell list GAME_DIR\n", "\n  vell which GAME_DIR PATH\n  vell diff OLD_GAME_DIR NEW_GAME_DIR [--extract OUT_DIR]\n  vell make-sample OUT_DIR [--characters N] [--patch [all]]\n"}},
    {"HelpShort", {"-h"}, 0, "", {"\n  vell tree GAME_DIR\n"}},
    {"HelpAlone", {"help"}, 0, "", {"\n  vell extract GAME_DIR (PATH... | --all) -o OUT_DIR\n"}},
    {"HelpCommand", {"help", "texture"}, 0, "", {"usage: vell texture GAME_DIR DDS_PATH -o FILE.png\n\nA DDS texture decoded in software and written as PNG.\n\noptions:\n  -o OUT_DIR|FILE  Where the output goes: "}},
    {"HelpCommandOptions", {"help", "extract"}, 0, "", {"\noptions:\n  --all            Every file of the archives; for import, every file of the base model, an unchanged one as the base's own bytes.\n  -o OUT_DIR|FILE  Where the output goes: "}},
    {"HelpListSizes", {"list", "--help"}, 0, "", {"index, inflated and stored sizes, offset"}},
    {"HelpHelp", {"help", "help"}, 0, "", {"usage: vell help [COMMAND]\n\nThe usage of every command, or of one"}},
    {"HelpCommandOfTwoLines", {"help", "gltf"}, 0, "", {"usage: vell gltf GAME_DIR SKN... -o ", "\n  vell gltf GAME_DIR --each FOLDER "}},
    {"CommandHelp", {"make-sample", "--help"}, 0, "", {"usage: vell make-sample OUT_DIR [--characters N] [--patch [all]]\n"}},
    {"CommandHelpAmongArguments", {"extract", "{A}", "--all", "-o", "{O}/x", "-h"}, 0, "", {"usage: vell extract "}, {"!x"}},
    {"HelpUnknownCommand", {"help", "frobnicate"}, 2, "vell: help wants one of the commands\nusage: vell COMMAND"},
    {"HelpTwoCommands", {"help", "list", "tree"}, 2, "vell: help wants one of the commands\nusage: vell COMMAND"},
    {"UnknownCommandHelp", {"frobnicate", "--help"}, 2, "vell: unknown command: frobnicate\nusage: vell COMMAND"},
    // info
    {"InfoMesh", {"info", "{M}", "info/hero.msh"}, 0, "", {"path = info/hero.msh\nkind = msh\n", "\nversion = 12\n", "\nsub_meshes = 2\n", "\nbones = 2\n", "\nbox_min = -1 -2 -3\n", "\nbox_max = 1 2 3.5\n", "\nbone[1] = Bip01 Spine\n", "\nsub_mesh[0].name = body\n", "\nsub_mesh[0].vertices = 3\n", "\nsub_mesh[0].indices = 3\n", "\nsub_mesh[0].primitive = triangles\n", "\nsub_mesh[0].skinned = yes\n", "\nsub_mesh[1].name = 中文\n", "\nsub_mesh[1].primitive = triangle_strip\n", "\nsub_mesh[1].skinned = no\n"}},
    {"InfoSkin", {"info", "{M}", "info/hero.skn"}, 0, "", {"\nkind = skn\n", "\nmesh = Hero.msh\n", "\nversion = 10\n", "\nmaterials = 2\n", "\nmaterial[0].diffuse = 1 0.5 0 1\n", "\nmaterial[0].emissive_power = 2 0 0\n", "\nmaterial[0].diffuse_texture = 中文.dds\n", "\nmaterial[1].diffuse_texture = \n"}},
    {"InfoAnimation", {"info", "{M}", "info/hero.ani"}, 0, "", {"\nkind = ani\n", "\nversion = 11\n", "\nbones = 2\n", "\nbone[0] = Bip01\n", "\nbone[0].parent = \n", "\nbone[1].parent = Bip01\n", "\nanimation[0] = walk\n", "\nanimation[1].frames = 12\n"}},
    {"InfoTexture", {"info", "{M}", "info/skin.dds"}, 0, "", {"\nkind = dds\n", "\nsize = 4x2\n", "\nkind = RGBA\n", "\nbit_count = 32\n", "\nmip_count = 0\n"}},
    {"InfoVersion", {"info", "{M}", "info/new.msh"}, 1, "vell: unknown .msh file version: 14\n"},
    {"InfoNoVersionCheck", {"info", "{M}", "info/new.msh", "--no-version-check"}, 0, "", {"\nversion = 14\n", "\nsub_mesh[0].skinned = yes\n"}},
    {"InfoCutAnimation", {"info", "{M}", "info/cut.ani"}, 1, "vell: corrupt .ani file: bone count 2 needs at least 2256 bytes of bones, 2253 remain\n"},
    {"InfoEmpty", {"info", "{M}", "info/empty.skn"}, 1, "vell: can't read info/empty.skn\n"},
    {"InfoNotAModel", {"info", "{M}", "info/notes.txt"}, 2, "vell: not a .msh, .skn, .ani or .dds file: info/notes.txt\n"},
    {"InfoMissing", {"info", "{M}", "info/none.msh"}, 2, kUsage},
    {"InfoNoPath", {"info", "{M}"}, 2, "vell: missing PATH\nusage: vell info GAME_DIR PATH [--no-version-check]\n"},
    // obj
    {"Obj", Obj({}), 0, "", {}, {"#3", "body.dds@132", "body_00.obj%# Vell 模型浏览器v1.0a\n\nv -1.000000 0.000000 0.000000\n", "body_00.obj%\nvt 0.250000 0.250000\n", "body_00.obj%\ng body\nf 3/3/3 2/2/2 1/1/1\nf 2/2/2 3/3/3 4/4/4\n", "cape_01.obj"}},
    {"ObjPosed", Obj({"--ani", kAni, "--anim", "1", "--frame", "2.5"}), 0, "", {}, {"body_00.obj%\nv -3.500000 0.000000 0.000000\n", "cape_01.obj%\nv -4.500000 0.000000 0.000000\n"}},
    {"ObjBindPose", Obj({"--ani", kAni, "--anim", "1"}), 0, "", {}, {"body_00.obj%\nv -1.000000 0.000000 0.000000\n"}},
    {"ObjHidden", Obj({"--hide", "0"}), 0, "", {}, {"#1", "cape_01.obj"}},
    {"ObjAttachmentLeftOut", Obj({"--attach", "chars/hero/hero.skn"}), 0, "", {}, {"#3"}},
    {"ObjNotASkin", {"obj", "{M}", "chars/hero/notes.txt", "-o", "{O}"}, 2, "vell: not .skn file: notes.txt\n"},
    {"ObjNotAnAnimation", Obj({"--ani", "chars/hero/notes.txt"}), 2, "vell: not .ani file: notes.txt\n"},
    {"ObjVersion", {"obj", "{M}", "chars/hero/v11.skn", "-o", "{O}"}, 1, "vell: unknown .skn file version: 11\n"},
    {"ObjNoVersionCheck", {"obj", "{M}", "chars/hero/v11.skn", "-o", "{O}", "--no-version-check"}, 0, "", {}, {"#3"}},
    {"ObjNoOutput", {"obj", "{M}", "chars/hero/hero.skn"}, 2, kUsage},
    {"ObjNoSkin", {"obj", "{M}", "-o", "{O}"}, 2, "vell: missing SKN\nusage: vell obj ", {}, {"#0"}},
    {"ObjEachAndASkin", {"obj", "{M}", "chars/hero/hero.skn", "--each", "chars", "-o", "{O}"}, 2, "vell: extra argument: chars/hero/hero.skn\nusage: vell obj ", {}, {"#0"}},
    {"ObjBadFrame", Obj({"--frame", "x"}), 2, kUsage, {}, {"#0"}},
    // --frame poses a frame of the animation played: 0 to its last.
    {"ObjLastFrame", Obj({"--ani", kAni, "--anim", "1", "--frame", "10"}), 0, "", {}, {"body_00.obj%\nv -11.000000 0.000000 0.000000\n"}},
    {"ObjFramePastTheLast", Obj({"--ani", kAni, "--anim", "1", "--frame", "10.5"}), 2, "vell: no frame 10.5 in animation 1 (its frames are 0 to 10, fractions allowed)\n", {}, {"#0"}},
    {"ObjFrameCount", Obj({"--ani", kAni, "--anim", "1", "--frame", "11"}), 2, "vell: no frame 11 in animation 1 (its frames are 0 to 10, fractions allowed)\n", {}, {"#0"}},
    {"ObjFrameWithoutAnimation", Obj({"--frame", "2"}), 2, "vell: --frame poses an animation: it needs --ani ANI and --anim N\nusage: vell obj ", {}, {"#0"}},
    {"ObjFrameWithoutAnim", Obj({"--ani", kAni, "--frame", "2"}), 2, "vell: --frame poses an animation: it needs --ani ANI and --anim N\nusage: vell obj ", {}, {"#0"}},
    {"ObjFrameOfTheBindPose", Obj({"--ani", kAni, "--anim", "0", "--frame", "0"}), 2, "vell: --frame 0: --anim 0 is the bind pose, which has no frames\n", {}, {"#0"}},
    {"ObjHideOutOfRange", Obj({"--hide", "0,9"}), 2, kUsage, {}, {"#0"}},
    {"ObjHideEmptyItem", Obj({"--hide", "0,"}), 2, kUsage, {}, {"#0"}},
    {"ObjAnimationOutOfRange", {"obj", "{M}", "chars/hero/hero.skn", "--ani", kAni, "--anim", "2", "-o", "{O}/o"}, 2, kUsage, {}, {"!o"}},
    {"ObjMissingSkin", {"obj", "{M}", "chars/hero/none.skn", "-o", "{O}"}, 2, kUsage, {}, {"#0"}},
    {"ObjNoGame", {"obj", "{O}", "chars/hero/hero.skn", "-o", "{O}"}, 2, kUsage, {}, {"#0"}},
    // gltf
    {"GltfNoOutput", {"gltf", "{M}", "chars/hero/hero.skn"}, 2, kUsage},
    {"GltfNoSkin", {"gltf", "{M}", "-o", "{O}/x.glb"}, 2, kUsage, {}, {"#0"}},
    {"ImportNoOnto", {"import", "{M}", "x.glb", "-o", "{O}/mod"}, 2, kUsage, {}, {"#0"}},
    {"ImportNotGltf", {"import", "{M}", "x.obj", "--onto", "chars/hero/hero.skn", "-o", "{O}/mod"}, 2, kUsage, {}, {"#0"}},
    {"ImportNoSuchGltf", {"import", "{M}", "{O}/none.glb", "--onto", "chars/hero/hero.skn", "-o", "{O}/mod"}, 1, "vell: can't read {O}/none.glb\n", {}, {"#0"}},
    {"ImportOntoNoSkin", {"import", "{M}", "{O}/none.glb", "--onto", "chars/hero/hero.ani", "-o", "{O}/mod"}, 1, "vell: ", {}, {"#0"}},
    {"GltfMissingSkin", {"gltf", "{M}", "chars/hero/none.skn", "-o", "{O}/x.glb"}, 2, kUsage, {}, {"#0"}},
    {"GltfHideNothing", Gltf({"--hide", ""}), 2, kUsage, {}, {"#0"}},
    {"GltfHideEmptyItem", Gltf({"--hide", "0,,1"}), 2, kUsage, {}, {"#0"}},
    {"GltfHideNotANumber", Gltf({"--hide", "x"}), 2, kUsage, {}, {"#0"}},
    {"GltfHideNegative", Gltf({"--hide", "-1"}), 2, kUsage, {}, {"#0"}},
    {"GltfHideOutOfRange", Gltf({"--hide", "99"}), 2, kUsage, {}, {"#0"}},
    {"GltfNotASkin", {"gltf", "{M}", kAni, "-o", "{O}/x.glb"}, 2, "vell: not .skn file: hero.ani\n", {}, {"#0"}},
    // -o: a file name of the kind written; a folder missing is made, as for every command.
    {"GltfNotGltf", {"gltf", "{M}", "chars/hero/hero.skn", "-o", "{O}/x.obj"}, 2, "vell: -o wants a file name ending in .glb or .gltf: {O}/x.obj\nusage: vell gltf ", {}, {"#0"}},
    {"GltfCapitalEnding", {"gltf", "{M}", "chars/hero/hero.skn", "-o", "{O}/X.GLTF"}, 0, "", {"wrote {O}/X.GLTF\n"}, {"X.GLTF", "X.bin"}},
    {"GltfIntoAMissingFolder", {"gltf", "{M}", "chars/hero/hero.skn", "-o", "{O}/no/more/x.gltf"}, 0, "", {}, {"no/more/x.gltf", "no/more/x.bin"}},
    {"GltfBelowAFile", {"gltf", "{M}", "chars/hero/hero.skn", "-o", "{A}/data.pak/x.glb"}, 1, "vell: can't create folder {A}/data.pak\n"},
    // frames
    {"Frames", Frames({"--anim", "1", "-o", "{O}/f"}), 0, "", {"wrote 10 pictures to {O}/f\n"}, {"f/#10", "f/00000009.bmp@1228854"}},
    {"FramesSizeAndSpeed", Frames({"--anim", "1", "-o", "{O}/f", "--size", "300x200", "--fps", "84"}), 0, "", {"wrote 4 pictures to "}, {"f/#4", "f/00000004.bmp@240054", "f/00000009.bmp"}},
    {"FramesBindPose", Frames({"--anim", "0", "-o", "{O}/f", "--size", "32x16"}), 0, "", {}, {"f/#1", "f/00000000.bmp@2102"}},
    {"FramesProgressOnTerminal", Frames({"--anim", "1", "-o", "{O}/f", "--size", "32x16"}), 0, "\r\033[K1/10 pictures\r\033[K2/10 pictures", {"wrote 10 pictures to "}, {"f/#10"}, kTerminal},
    {"FramesWithAttachment", Frames({"--anim", "1", "-o", "{O}/f", "--size", "64x48", "--attach", kSkinArg}), 0, "", {}, {"f/#10"}},
    {"FramesNoAni", {"frames", "{S}", kSkinArg, "--anim", "1", "-o", "{O}/f"}, 2, kUsage, {}, {"!f"}},
    {"FramesNoAnim", Frames({"-o", "{O}/f"}), 2, kUsage, {}, {"!f"}},
    {"FramesNoOutput", Frames({"--anim", "1"}), 2, kUsage},
    {"FramesAnimNotANumber", Frames({"--anim", "x", "-o", "{O}/f"}), 2, kUsage, {}, {"!f"}},
    {"FramesAnimNegative", Frames({"--anim", "-1", "-o", "{O}/f"}), 2, kUsage, {}, {"!f"}},
    {"FramesAnimOutOfRange", Frames({"--anim", "2", "-o", "{O}/f"}), 2, kUsage, {}, {"!f"}},
    {"FramesSizeZero", Frames({"--anim", "1", "-o", "{O}/f", "--size", "0x10"}), 2, kUsage, {}, {"!f"}},
    {"FramesSizeOneNumber", Frames({"--anim", "1", "-o", "{O}/f", "--size", "640"}), 2, kUsage, {}, {"!f"}},
    {"FramesTooWide", Frames({"--anim", "1", "-o", "{O}/f", "--size", "99999x10"}), 2, kUsage, {}, {"!f"}},
    {"FramesTooTall", Frames({"--anim", "1", "-o", "{O}/f", "--size", "10x99999"}), 2, kUsage, {}, {"!f"}},
    {"FramesFpsNotANumber", Frames({"--anim", "1", "-o", "{O}/f", "--fps", "fast"}), 2, kUsage, {}, {"!f"}},
    {"FramesFpsNegative", Frames({"--anim", "1", "-o", "{O}/f", "--fps", "-3"}), 2, kUsage, {}, {"!f"}},
    {"FramesNoSkin", {"frames", "{S}", "--ani", kAnimationArg, "--anim", "1", "-o", "{O}/f"}, 2, kUsage, {}, {"!f"}},
    {"FramesMissingSkin", Frames({"--anim", "1", "-o", "{O}/f"}, "chars/hero/none.skn"), 2, kUsage, {}, {"!f"}},
    {"FramesNoGame", {"frames", "{O}/none", kSkinArg, "--ani", kAnimationArg, "--anim", "1", "-o", "{O}/f"}, 2, kUsage, {}, {"!f"}},
    {"FramesBrokenMesh", Frames({"--anim", "1", "-o", "{O}/f"}, "chars/cutm/hero.skn"), 1, "vell: corrupt .msh file: ", {}, {"!f"}},
    {"FramesBrokenAnimation", {"frames", "{S}", kSkinArg, "--ani", "chars/cuta/hero.ani", "--anim", "1", "-o", "{O}/f"}, 1, "vell: not .ani file", {}, {"!f"}},
    // Only frames draws: without EGL every other command still works.
    {"FramesWithoutEgl", Frames({"--anim", "1", "-o", "{O}/f"}), 1, "vell: no OpenGL context: no EGL display (", {}, {"!f"}, kNoEgl.c_str()},
    {"ObjWithoutEgl", {"obj", "{S}", kSkinArg, "--ani", kAnimationArg, "-o", "{O}"}, 0, "", {}, {"patch0_00.obj"}, kNoEgl.c_str()},
    {"InfoWithoutEgl", {"info", "{S}", kSkinArg}, 0, "", {"kind = skn\n"}, {}, kNoEgl.c_str()},
    {"TextureWithoutEgl", {"texture", "{S}", SceneFiles::kTexture, "-o", "{O}/t.png"}, 0, "", {}, {"t.png"}, kNoEgl.c_str()},
    {"ExtractWithoutEgl", {"extract", "{S}", kSkinArg, "-o", "{O}"}, 0, "", {}, {"hero.skn"}, kNoEgl.c_str()},
    // texture
    {"Texture", {"texture", "{S}", "tex/stripes.dds", "-o", "{O}/s.png"}, 0, "", {}, {"#1", "s.png"}},
    {"TextureCubeMap", {"texture", "{S}", "tex/cube.dds", "-o", "{O}/x.png"}, 1, "vell: can't load dds cubemap.\n", {}, {"#0"}},
    {"TextureShort", {"texture", "{S}", "tex/short.dds", "-o", "{O}/x.png"}, 1, "vell: corrupt .dds file: 60 bytes, shorter than the 128-byte header\n", {}, {"#0"}},
    {"TextureIntoAMissingFolder", {"texture", "{S}", "tex/rgb.dds", "-o", "{O}/missing/x.png"}, 0, "", {}, {"missing/x.png"}},
    {"TextureUnwritable", {"texture", "{S}", "tex/rgb.dds", "-o", "{O}"}, 1, "vell: can't write {O}: Is a directory\n"},
    {"TextureMissing", {"texture", "{S}", "tex/none.dds", "-o", "{O}/a.png"}, 2, kUsage, {}, {"#0"}},
    {"TextureNoOutput", {"texture", "{S}", "tex/rgb.dds"}, 2, kUsage},
    {"TextureNoPath", {"texture", "{S}"}, 2, "vell: missing DDS_PATH\nusage: vell texture "},
    {"TextureNoGame", {"texture", "{O}", "tex/rgb.dds", "-o", "{O}/a.png"}, 2, kUsage, {}, {"#0"}},
    // make-sample
    {"MakeSampleNoFolder", {"make-sample"}, 2, kUsage},
    {"MakeSampleTwoFolders", {"make-sample", "a", "b"}, 2, "vell: extra argument: b\nusage: vell make-sample "},
    {"MakeSampleBelowAFile", {"make-sample", "{A}/data.pak"}, 1, "vell: "},
    {"MakeSampleCharactersNotANumber", {"make-sample", "{O}/g", "--characters", "many"}, 2, kUsage, {}, {"!g"}},
    {"MakeSampleTooManyCharacters", {"make-sample", "{O}/g", "--characters", "2001"}, 2, kUsage, {}, {"!g"}},
    {"MakeSamplePatchWhat", {"make-sample", "{O}/g", "--patch", "most"}, 2, "vell: extra argument: most\nusage: vell make-sample ", {}, {"!g"}},
    // which: every record of a path, the winner first, in list's columns
    {"Which", {"which", "{A}", "chars/hero/hero.skn"}, 0, "", {"0\t4\t", "\tdata.pak\t\\chars\\hero\\hero.skn\n5\t7\t", "\tpatch.pak\t\\chars\\hero\\hero.skn\n"}},
    {"WhichTwiceInOneArchive", {"which", "{2}", "\\dup.txt"}, 0, "", {"1\t6\t", "\t0.pak\t\\dup.txt\n5\t5\t", "\tdata.pak\t\\dup.txt\n6\t6\t", "\tdata.pak\t\\dup.txt\n"}},
    {"WhichChineseName", {"which", "{A}", "ui/中文.txt"}, 0, "", {"\tdata.pak\t\\ui\\中文.txt\n"}},
    {"WhichNoRecord", {"which", "{A}", "chars/nobody.skn"}, 1, "vell: no record holds chars/nobody.skn\n"},
    {"WhichFolder", {"which", "{A}", "chars/hero"}, 1, "vell: no record holds chars/hero\n"},
    {"WhichNoPath", {"which", "{A}"}, 2, "vell: missing PATH\nusage: vell which GAME_DIR PATH\n"},
    {"WhichNoGame", {"which", "{O}", "a.txt"}, 2, kUsage},
    // diff: 0 equal, 1 different, 2 trouble
    {"DiffEachKind", {"diff", "{1}", "{2}"}, 1, "", {"M changed.txt\n+ dup.txt\n- gone.txt\n+ long/" + Repeat("中", 120) + "2.txt\n+ new.txt\n3 added, 1 removed, 1 changed, 2 unchanged\n"}},
    {"DiffBackwards", {"diff", "{2}", "{1}"}, 1, "", {"M changed.txt\n- dup.txt\n+ gone.txt\n- long/", "- new.txt\n1 added, 3 removed, 1 changed, 2 unchanged\n"}},
    {"DiffEqual", {"diff", "{A}", "{A}"}, 0, "", {"0 added, 0 removed, 0 changed, 8 unchanged\n"}},
    {"DiffExtract", {"diff", "{1}", "{2}", "--extract", "{O}/x"}, 1, "", {"3 added"}, {"x/changed.txt=after", "x/new.txt=hi", "x/dup.txt=update", "x/long/" + kUtf8Cut + "~1.txt=two", "!x/long/" + kUtf8Cut + ".txt", "!x/same.txt", "!x/gone.txt", "x/#4", "x/long/#1"}},
    {"DiffEqualExtractsNothing", {"diff", "{1}", "{1}", "--extract", "{O}/x"}, 0, "", {}, {"x/#0"}},
    {"DiffBrokenInOld", {"diff", "{B}", "{1}"}, 2, "vell: can't read changed.txt\n"},
    {"DiffBrokenInNew", {"diff", "{1}", "{B}", "--extract", "{O}/x"}, 2, "vell: can't read changed.txt\n", {}, {"!x"}},
    // The same message as every command's for a folder without a game.
    {"DiffNoFolder", {"diff", "{O}/none", "{1}"}, 2, "vell: where is the game ?!"},
    {"DiffNoGameInNew", {"diff", "{1}", "{O}"}, 2, "vell: where is the game ?!"},
    {"DiffOneFolder", {"diff", "{1}"}, 2, kUsage},
    {"DiffExtractNoFolder", {"diff", "{1}", "{2}", "--extract"}, 2, kUsage},
    // Names past 255 bytes in UTF-8: every file written, none too long, none meeting.
    {"LongNamesObj", {"obj", "{L}", kSkinArg, "-o", "{O}"}, 0, "vell: renamed " + Repeat("中", 110) + "b_01.obj to {O}/", {"1 renamed\n"}, {"*.obj#2"}},
    {"LongNamesObjWithMaterials", {"obj", "{L}", kSkinArg, "--mtl", "-o", "{O}"}, 0, "vell: renamed " + Repeat("中", 110) + "b_01.obj to {O}/", {"1 renamed\n"}, {"*.mtl#2"}},
    {"LongNamesEachGlb", {"gltf", "{L}", "--each", "chars", "-o", "{O}"}, 0, "vell: renamed hero/", {}, {"*.glb#3"}},
    // --jobs: at most 64 workers; beyond is an error of the command line's shape, which the
    // usage line follows.
    {"EachJobsAtTheLimit", {"gltf", "{L}", "--each", "chars", "-o", "{O}", "--jobs", "64"}, 0, "vell: renamed hero/", {}, {"*.glb#3"}},
    {"EachJobsPastTheLimit", {"gltf", "{L}", "--each", "chars", "-o", "{O}", "--jobs", "65"}, 2, "vell: bad --jobs (want 1 to 64): 65\nusage: vell gltf GAME_DIR SKN... -o ", {}, {"#0"}},
    {"LongNamesEachObj", {"obj", "{L}", "--each", "chars", "-o", "{O}"}, 0, "vell: renamed hero/", {}, {"*.obj#6"}},
    {"LongNamesGltfSideFiles", {"gltf", "{L}", kSkinArg, "-o", "{O}/" + std::string(250, 'a') + ".gltf"}, 0, "", {}, {"*.png#1"}},
};
// clang-format on

std::string Substituted(std::string text, const std::string& out) {
    const Games& g = TheGames();
    // clang-format off
    const std::pair<const char*, std::string> keys[] = {{"{A}", g.archives.Path()},
        {"{M}", g.models.Path()}, {"{S}", g.scene.Path()}, {"{L}", g.longNames.Path()},
        {"{N}", g.meeting.Path()}, {"{a}", fs::relative(g.archives.Path()).string()},
        {"{1}", g.older.Path()}, {"{2}", g.newer.Path()}, {"{B}", g.broken.Path()},
        {"{X}", g.skipping.Path()}, {"{U}", g.unreadable.Path()}, {"{O}", out}};
    // clang-format on
    return CommandRows::Substituted(std::move(text), keys);
}

std::vector<std::string> Substituted(std::vector<std::string> args, const std::string& out) {
    for (std::string& arg : args) {
        arg = Substituted(arg, out);
    }
    return args;
}

// Sets the row's environment or file-size cap for the time of one run.
struct Environment {
    explicit Environment(const std::string& setting) : name(setting.substr(0, setting.find('='))) {
        if (name == "RLIMIT_FSIZE") {
            limit.emplace(std::stoul(setting.substr(name.size() + 1)));
        } else if (!name.empty()) {
            ::setenv(name.c_str(), setting.substr(name.size() + 1).c_str(), 1);
        }
    }
    ~Environment() {
        if (!name.empty() && !limit) {
            ::unsetenv(name.c_str());
        }
    }
    const std::string name;
    std::optional<TestUtil::FileSizeLimit> limit;
};

class Command : public ::testing::TestWithParam<Case> {};

TEST_P(Command, ExitMessageAndFiles) {
    const Case& c = GetParam();
    TestUtil::TempDir out;
    const bool onTerminal = c.env == kTerminal;
    TheGames();  // written before a row's limits apply
    Environment environment(onTerminal || c.env == nullptr ? "" : c.env);
    const TestUtil::RunResult r = TestUtil::Vell(Substituted(c.args, out.Path()), onTerminal);
    if (onTerminal) {
        EXPECT_TRUE(r.err.ends_with("\r\033[K")) << r.err;  // the progress line cleared
    }
    EXPECT_EQ(r.exitCode, c.exit) << r.err;
    if (c.exit == 2) {
        EXPECT_EQ(r.out, "");  // usage errors go to stderr alone
    }
    const std::string err = Substituted(c.err, out.Path());
    EXPECT_EQ(r.err.substr(0, err.size()), err);
    // A row that expects no message gets none (diff's status 1 says only "they differ").
    if (err.empty()) {
        EXPECT_EQ(r.err, "");
    }
    if (c.exit == 1 && !err.empty()) {  // one line for the failure, besides the files renamed
        std::size_t renamed = 0;
        for (std::size_t at = 0; (at = r.err.find("vell: renamed ", at)) != std::string::npos;
             ++at) {
            ++renamed;
        }
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n') - renamed, 1u) << r.err;
    }
    // A whole line is all there is: no usage line after what an argument names.
    if (err.ends_with('\n')) {
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
    for (const auto& entry : fs::recursive_directory_iterator(out.Path())) {
        EXPECT_LE(entry.path().filename().string().size(), 255u) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Vell, Command, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The pixels of what frames and texture write: the model's texel below and right of the
// middle (clear of the axes) in blue, green, red order, the background in the corner, opaque;
// also where the driver lacks S3TC and the compressed texture is decoded here.
TEST(CommandPictures, FramesHoldTheModelAndTexturesTheirPixels) {
    const char* const envs[] = {nullptr,
                                "MESA_EXTENSION_OVERRIDE=-GL_EXT_texture_compression_s3tc"};
    for (const char* env : envs) {
        TestUtil::TempDir out;
        Environment environment(env ? env : "");
        const auto r = TestUtil::Vell(Substituted(
            Frames({"--anim", "1", "-o", out.Path()}, env ? "chars/dxt1/hero.skn" : kSkinArg), ""));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        for (const char* name : {"00000000.bmp", "00000009.bmp"}) {
            const std::vector<uint8_t> file = TestUtil::ReadBytes(out / name);
            ASSERT_EQ(file.size(), 54u + 640 * 480 * 4) << name;
            const std::size_t at = 54 + (std::size_t{240 - 40} * 640 + 320 + 40) * 4;
            EXPECT_NEAR(file[at], 0x32, 8);
            EXPECT_NEAR(file[at + 1], 0x64, 8);
            EXPECT_NEAR(file[at + 2], 0xC8, 8);
            EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 58),
                      (std::vector<uint8_t>{0xB2, 0x33, 0x33, 0xFF}));
        }
    }
    const std::pair<const char*, std::vector<uint8_t>> textures[] = {
        // stripes: top row red; row 4 blue, red, purple, clear
        {"tex/stripes.dds",
         {248, 0, 0, 255, 0, 0, 248, 255, 248, 0, 0, 255, 124, 0, 124, 255, 165, 0, 83, 0}},
        {"tex/rgb.dds", {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255}},
    };
    for (const auto& [texture, pixels] : textures) {
        TestUtil::TempDir out;
        const auto r =
            TestUtil::Vell({"texture", TheGames().scene.Path(), texture, "-o", out / "t.png"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        png_image image{.version = PNG_IMAGE_VERSION};
        ASSERT_TRUE(png_image_begin_read_from_file(&image, (out / "t.png").c_str()));
        EXPECT_NE(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
        if (rgba.size() == 4 * 8 * 4) {  // the top-left pixel, then row 4 (top row first)
            rgba.erase(rgba.begin() + 4, rgba.begin() + 4 * 16);
            rgba.resize(20);
        }
        EXPECT_EQ(rgba, pixels) << texture;
    }
}

}  // namespace
