// glTF export of the sample game's character (whole model, sword, every animation of its
// .ani): the whole export, and the part of it that decodes the textures and encodes PNG.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "dds/dds.h"
#include "export/gltf.h"
#include "forge/sample.h"
#include "glcontext/glcontext.h"
#include "model/object.h"
#include "pakmgr/pakmgr.h"

namespace {

// The sample game on disk, opened, with the character loaded into its own model.
class SampleCharacter {
public:
    SampleCharacter() {
        m_folder = (std::filesystem::temp_directory_path() /
                    ("vell-gltf-bench-" + std::to_string(::getpid())))
                       .string();
        std::filesystem::create_directories(m_folder);
        Forge::SaveSampleGame(Forge::MakeSampleGame(), m_folder);
        std::string error;
        m_context = GlContext::Headless::Create(16, 16, &error);
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        mgr->Open(m_folder);
        mgr->BuildTree();
        m_skin = PakMgr::FindPath(*mgr, "chars/hero/hero.skn");
        m_model.Load(m_skin);
        m_model.LoadAttachment(PakMgr::FindPath(*mgr, "chars/hero/weapon/hero_sword.skn"));
        m_model.LoadAnimation(PakMgr::FindPath(*mgr, "chars/hero/hero.ani"));
    }
    ~SampleCharacter() {
        PakMgr::GetPakMgr()->Clear();
        std::filesystem::remove_all(m_folder);
    }

    Model::CVellModel& Model() { return m_model; }
    PakMgr::ITreeNode* Skin() const { return m_skin; }
    std::string Path(const std::string& name) const { return m_folder + "/" + name; }

private:
    std::string m_folder;
    std::unique_ptr<GlContext::Headless> m_context;
    Model::CVellModel m_model;
    PakMgr::ITreeNode* m_skin = nullptr;
};

SampleCharacter& Character() {
    static SampleCharacter character;
    return character;
}

void BM_ExportSampleCharacter(benchmark::State& state) {
    SampleCharacter& c = Character();
    const std::string path = c.Path("hero.glb");
    for (auto _ : state) {
        Export::ExportGltf(c.Model(), path, {c.Skin()});
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ExportSampleCharacter)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The textures the export embeds: read, decoded in software and encoded as PNG.
void BM_SampleTexturesToPng(benchmark::State& state) {
    SampleCharacter& c = Character();
    std::set<std::string> names;
    for (std::size_t slot : {Model::kWholeModel, Model::kAttachment}) {
        for (const Model::Material& m : c.Model().SkinAt(slot).materials) {
            if (!m.diffuseTexName.empty()) {
                names.insert(m.diffuseTexName);
            }
        }
    }
    PakMgr::ITreeNode* folder = c.Skin()->GetParent();
    std::size_t pngBytes = 0;
    for (auto _ : state) {
        pngBytes = 0;
        for (const std::string& name : names) {
            PakMgr::ITreeNode* node = folder->FindNode(name);
            if (!node) {
                continue;
            }
            auto file = PakMgr::GetPakMgr()->LoadFile(node);
            pngBytes += Dds::EncodePng(Dds::ParseDds(*file, false)).bytes.size();
        }
    }
    state.counters["textures"] = static_cast<double>(names.size());
    state.counters["png_bytes"] = static_cast<double>(pngBytes);
}
BENCHMARK(BM_SampleTexturesToPng)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
