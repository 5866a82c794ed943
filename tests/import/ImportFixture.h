// The sample game opened once for the import tests, the glTF files the export writes of its
// models (made once each), and the plan an import of one makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "GlbFile.h"
#include "SampleGameFolder.h"
#include "TestUtil.h"
#include "export/gltf.h"
#include "forge/pak.h"
#include "import/import.h"
#include "model/model.h"
#include "model/writer.h"
#include "pakmgr/pakmgr.h"

namespace ImportTest {

inline constexpr char kHero[] = "chars/hero/hero.skn";
inline constexpr char kHeroMesh[] = "chars/hero/hero.msh";

inline PakMgr::ITreeNode* Node(const std::string& path) {
    static const bool opened = [] {
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        return mgr->Open(TestUtil::SampleGameFolder()) && mgr->BuildTree();
    }();
    EXPECT_TRUE(opened);
    PakMgr::ITreeNode* node = PakMgr::FindPath(*PakMgr::GetPakMgr(), path);
    EXPECT_NE(node, nullptr) << path;
    return node;
}

inline std::vector<uint8_t> ArchiveBytes(const std::string& path) {
    std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(Node(path));
    std::vector<uint8_t> bytes(file ? file->GetSize() : 0);
    if (file && !bytes.empty()) {
        file->Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    return bytes;
}

struct Source {
    std::string skin = kHero;
    std::string ani;      // none: the bind skeleton
    std::string moreAni;  // a second animation file
    float scale = Export::kMetresPerGameUnit;
    bool gltf = false;  // .gltf with its side files, not .glb
    auto operator<=>(const Source&) const = default;
};

// The folder of the exported files, kept for the whole run.
inline const std::string& ExportFolder() {
    static TestUtil::TempDir folder;
    return folder.Path();
}

// The file the export writes of the source (as vell gltf does), made once; its path.
inline std::string Exported(const Source& source) {
    static std::map<Source, std::string> made;
    if (auto found = made.find(source); found != made.end()) {
        return found->second;
    }
    const auto stem = [](const std::string& path, const char* none) {
        if (path.empty()) {
            return std::string(none);
        }
        const std::string name = path.substr(path.rfind('/') + 1);
        return name.substr(0, name.rfind('.'));
    };
    char scale[32];
    std::snprintf(scale, sizeof scale, "%g", static_cast<double>(source.scale));
    // A second animation file is not among those made once: the test exports its own.
    const std::string animations =
        stem(source.ani, "bind") + (source.moreAni.empty() ? "" : "+" + stem(source.moreAni, ""));
    const std::string name =
        stem(source.skin, "") + "-" + animations + "-" + scale + (source.gltf ? ".gltf" : ".glb");
    // The files make_exports.sh wrote once for the ctest run, else the test's own.
    if (const char* game = std::getenv("VELL_SAMPLE_GAME"); game && *game) {
        const std::string written = std::string(game) + "-gltf/" + name;
        if (std::filesystem::exists(written)) {
            return made[source] = written;
        }
    }
    const std::string path = ExportFolder() + "/" + name;
    std::unique_ptr<Model::IVellModel> model = Model::CreateModel();
    model->Load(Node(source.skin));
    std::vector<PakMgr::ITreeNode*> anis;
    if (!source.ani.empty()) {
        anis.push_back(Node(source.ani));
        model->LoadAnimation(anis.front());
    }
    if (!source.moreAni.empty()) {
        anis.push_back(Node(source.moreAni));
    }
    Export::ExportGltf(*model, path, {Node(source.skin)},
                       {.scale = source.scale, .animations = anis});
    return made[source] = path;
}

inline TestUtil::Glb ExportedGlb(const Source& source = {}) {
    return TestUtil::Glb::Parse(TestUtil::ReadBytes(Exported(source)));
}

// The options of an import of what the export wrote of the source.
inline Import::ImportOptions OptionsFor(const Source& source, bool all = false) {
    Import::ImportOptions options{.scale = source.scale, .all = all};
    for (const std::string& ani : {source.ani, source.moreAni}) {
        if (!ani.empty()) {
            options.animations.push_back(Node(ani));
        }
    }
    return options;
}

inline Import::ImportPlan Plan(const std::vector<uint8_t>& glb, const Source& source = {},
                               bool all = false) {
    return Import::PlanImport(Node(source.skin), glb, true, "", OptionsFor(source, all));
}

inline std::vector<std::string> Paths(const Import::ImportPlan& plan) {
    std::vector<std::string> paths;
    for (const auto& f : plan.files) {
        paths.push_back(f.path);
    }
    return paths;
}

// A table row: an edit of the exported glb, the files it must write, and a check of them.
struct EditRow {
    const char* name;
    void (*apply)(TestUtil::Glb&);
    std::vector<std::string> files;
    void (*check)(const Import::ImportPlan&);
};

inline void PrintTo(const EditRow& row, std::ostream* os) {
    *os << row.name;
}

// A row's edit planned: exactly the row's files, no limit applied, then the row's own check
// of what was written.
inline void ExpectEditWrites(const EditRow& row) {
    TestUtil::Glb glb = ExportedGlb();
    row.apply(glb);
    const Import::ImportPlan plan = Plan(glb.Bytes());
    EXPECT_EQ(Paths(plan), row.files);
    EXPECT_TRUE(plan.limits.empty()) << plan.limits.front();
    row.check(plan);
}

inline const Import::ImportedFile* FileOf(const Import::ImportPlan& plan, const std::string& path) {
    for (const auto& f : plan.files) {
        if (f.path == path) {
            return &f;
        }
    }
    return nullptr;
}

// The glTF primitive of a sub-mesh, by the name the export put in its extras.
inline nlohmann::json& PrimitiveOf(TestUtil::Glb& glb, const std::string& subMesh) {
    for (auto& mesh : glb.json["meshes"]) {
        for (auto& p : mesh["primitives"]) {
            if (p["extras"]["name"] == subMesh) {
                return p;
            }
        }
    }
    throw std::runtime_error("no primitive " + subMesh);
}

inline int MaterialNamed(const TestUtil::Glb& glb, const std::string& name) {
    for (std::size_t i = 0; i < glb.json["materials"].size(); ++i) {
        if (glb.json["materials"][i]["name"] == name) {
            return static_cast<int>(i);
        }
    }
    throw std::runtime_error("no material " + name);
}

// An image of this name whose bytes are `file` (a PNG, or whatever a test puts there), in
// the buffer; its index.
inline int AddImage(TestUtil::Glb& glb, const std::string& name, const std::vector<uint8_t>& file) {
    const int accessor = glb.Add(file, 5121, "SCALAR", file.size());
    glb.json["images"].push_back({{"name", name},
                                  {"mimeType", "image/png"},
                                  {"bufferView", glb.json["accessors"][accessor]["bufferView"]}});
    return static_cast<int>(glb.json["images"].size() - 1);
}

// A material of this name whose base colour shows the image; its index.
inline int AddMaterial(TestUtil::Glb& glb, const std::string& name, int image) {
    glb.json["textures"].push_back({{"source", image}});
    glb.json["materials"].push_back(
        {{"name", name},
         {"pbrMetallicRoughness",
          {{"baseColorTexture", {{"index", glb.json["textures"].size() - 1}}}}}});
    return static_cast<int>(glb.json["materials"].size() - 1);
}

// A mesh of this name hung under the model's node: the head's triangles again, dressed in
// the material.
inline void AddMesh(TestUtil::Glb& glb, const std::string& name, int material) {
    nlohmann::json copy = PrimitiveOf(glb, "head");
    copy.erase("extras");
    copy["material"] = material;
    glb.json["meshes"].push_back({{"name", name}, {"primitives", {copy}}});
    glb.json["nodes"].push_back({{"name", name}, {"mesh", glb.json["meshes"].size() - 1}});
    for (auto& node : glb.json["nodes"]) {
        if (node.value("name", "") == "hero") {
            node["children"].push_back(glb.json["nodes"].size() - 1);
        }
    }
}

}  // namespace ImportTest
