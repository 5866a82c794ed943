// Frame export of a 50,000-vertex textured skinned model in the headless context at
// 640x480 and 960x720, and where a picture's time goes: pose, draw, read-back, BMP write.
// Two meshes of 50,000 vertices: ribbons (50,000 triangles, like a mesh cut along many
// texture seams) and one grid (99,458 triangles, every vertex shared).
//
// `frames_bench --write-game DIR` only writes the ribbon mesh's game folder (for timing the
// real `vell frames` and comparing with other renderers, bench/compare_frames.sh).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "forge/scene.h"
#include "glcontext/glcontext.h"
#include "model/bmp.h"
#include "model/model.h"
#include "pakmgr/pakmgr.h"
#include "view/view.h"

namespace {

constexpr int kGridCells = 223;    // 224 x 224 = 50,176 vertices, 99,458 triangles
constexpr int kRibbons = 125;      // 125 x 2 x 201 = 50,250 vertices,
constexpr int kRibbonQuads = 200;  // 50,000 triangles
constexpr uint32_t kFrames = 60;
constexpr uint32_t kTextureSide = 512;

enum Mesh { kRibbonMesh = 0, kGridMesh = 1 };

SceneFiles::Scene BenchScene(int mesh) {
    SceneFiles::Scene scene;
    scene.patches = {
        mesh == kGridMesh
            ? SceneFiles::Patch{.cells = kGridCells}
            : SceneFiles::Patch{.cells = kRibbons, .ribbons = true, .columns = kRibbonQuads}};
    scene.textureSide = kTextureSide;
    scene.blended = true;
    scene.frames = kFrames;
    scene.travel = 20;
    return scene;
}

// One game folder, context, model and view for the whole run; each benchmark resizes.
class Bench {
public:
    static Bench& Get() {
        static Bench bench;
        return bench;
    }
    bool Ok() const { return m_context != nullptr; }
    // Loads the mesh unless it is the one loaded.
    void Use(int mesh) {
        if (mesh == m_mesh) {
            return;
        }
        ::Bench::TempDir game;
        Forge::SavePak(game / "data.pak", SceneFiles::FilesOf(BenchScene(mesh)));
        PakMgr::IPakMgr* mgr = PakMgr::GetPakMgr();
        mgr->Clear();
        mgr->Open(game.Path());
        mgr->BuildTree();
        m_model->Load(PakMgr::FindPath(*mgr, SceneFiles::kSkinArg));
        m_model->LoadAnimation(PakMgr::FindPath(*mgr, SceneFiles::kAnimationArg));
        m_model->PlayAnimation(1);
        mgr->Clear();
        m_mesh = mesh;
    }
    void Resize(int width, int height) {
        m_context->Resize(width, height);
        m_view.OnSize(width, height);
        m_width = width;
        m_height = height;
        m_pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    }
    Model::IVellModel& Model() { return *m_model; }
    View::CRenderViewCore& View() { return m_view; }
    std::vector<uint8_t>& Pixels() { return m_pixels; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const std::string& Out() const { return m_out.Path(); }

private:
    Bench() {
        std::string error;
        m_context = GlContext::Headless::Create(640, 480, &error);
        if (!m_context) {
            return;
        }
        m_view.InitGL();
        m_view.ResetView();
    }

    ::Bench::TempDir m_out;
    int m_mesh = -1;
    std::unique_ptr<GlContext::Headless> m_context;
    Model::IVellModel* m_model = View::GetModel();
    View::CRenderViewCore m_view{m_model};
    std::vector<uint8_t> m_pixels;
    int m_width = 0;
    int m_height = 0;
};

class Sink final : public Model::IAnimate {
public:
    int GetWidth() override { return Bench::Get().Width(); }
    int GetHeight() override { return Bench::Get().Height(); }
    void Advance() override {}
    void Render() override { Bench::Get().View().Render(); }
    void SetProgressRange(unsigned short, unsigned short) override {}
    void StepProgress() override {}
};

bool Prepare(benchmark::State& state) {
    Bench& bench = Bench::Get();
    if (!bench.Ok()) {
        state.SkipWithError("no headless GL context");
        return false;
    }
    bench.Use(static_cast<int>(state.range(0)));
    bench.Resize(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    return true;
}

// Whole pictures: what `vell frames` does per frame once the model is loaded.
void BM_ExportFrames(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    Sink sink;
    for (auto _ : state) {
        Bench::Get().Model().ExportFrames(Bench::Get().Out(), &sink);
    }
    state.counters["pictures/s"] = benchmark::Counter(
        static_cast<double>(kFrames), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Pose(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    float frame = 0;
    for (auto _ : state) {
        Bench::Get().Model().PoseAt(frame);
        frame = frame + 1 < kFrames ? frame + 1 : 0;
    }
}

// The scene drawn and finished (llvmpipe rasterises at glFinish).
void BM_Draw(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    for (auto _ : state) {
        Bench::Get().View().Render();
        glFinish();
    }
}

// The same scene lit (设置 / 光照): one light from the camera over the posed normals. The
// light's cost is this against BM_Draw, and BM_PoseLit against BM_Pose.
void BM_DrawLit(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    Bench::Get().Model().SetLighting(true);
    for (auto _ : state) {
        Bench::Get().View().Render();
        glFinish();
    }
    Bench::Get().Model().SetLighting(false);
}

void BM_PoseLit(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    Bench::Get().Model().SetLighting(true);
    float frame = 0;
    for (auto _ : state) {
        Bench::Get().Model().PoseAt(frame);
        frame = frame + 1 < kFrames ? frame + 1 : 0;
    }
    Bench::Get().Model().SetLighting(false);
}

void BM_ReadBack(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    Bench& bench = Bench::Get();
    bench.View().Render();
    glFinish();
    for (auto _ : state) {
        glReadPixels(0, 0, bench.Width(), bench.Height(), GL_BGRA, GL_UNSIGNED_BYTE,
                     bench.Pixels().data());
        benchmark::DoNotOptimize(bench.Pixels().data());
    }
}

void BM_WriteBmp(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    Bench& bench = Bench::Get();
    const std::string name = bench.Out() + "/write.bmp";
    const Model::BmpImage image{bench.Width(), -bench.Height(),
                                static_cast<uint32_t>(bench.Pixels().size()), 4,
                                bench.Pixels().data()};
    for (auto _ : state) {
        Model::WriteBmp(name.c_str(), image);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bench.Pixels().size()));
}

// The yardstick: the same mesh drawn bare (one textured glDrawElements with the view's
// camera, no pose, axes, labels or alpha test), read back and written.
void BM_BareFrame(benchmark::State& state) {
    if (!Prepare(state)) {
        return;
    }
    Bench& bench = Bench::Get();
    const Forge::MeshDesc mesh = SceneFiles::MeshOf(BenchScene(static_cast<int>(state.range(0))));
    const Forge::SubMeshDesc& sub = mesh.subMeshes.front();
    const std::vector<uint32_t> texels(std::size_t{kTextureSide} * kTextureSide, 0xFFC86432);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kTextureSide, kTextureSide, 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    bench.View().m_bShowAxes = false;
    bench.View().Render();  // leaves the camera's matrices
    bench.View().m_bShowAxes = true;
    glDisableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, sub.positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, sub.texCoords.data());
    const std::string name = bench.Out() + "/bare.bmp";
    const Model::BmpImage image{bench.Width(), -bench.Height(),
                                static_cast<uint32_t>(bench.Pixels().size()), 4,
                                bench.Pixels().data()};
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(sub.indices.size()), GL_UNSIGNED_SHORT,
                       sub.indices.data());
        glReadPixels(0, 0, bench.Width(), bench.Height(), GL_BGRA, GL_UNSIGNED_BYTE,
                     bench.Pixels().data());
        Model::WriteBmp(name.c_str(), image);
    }
    glDeleteTextures(1, &texture);
    state.counters["pictures/s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mesh", "w", "h"})->Unit(benchmark::kMillisecond)->UseRealTime();
    for (int mesh : {kRibbonMesh, kGridMesh}) {
        b->Args({mesh, 640, 480})->Args({mesh, 960, 720});
    }
}

BENCHMARK(BM_ExportFrames)->Apply(Sizes);
BENCHMARK(BM_BareFrame)->Apply(Sizes);
BENCHMARK(BM_Pose)->Apply(Sizes);
BENCHMARK(BM_Draw)->Apply(Sizes);
BENCHMARK(BM_DrawLit)->Apply(Sizes);
BENCHMARK(BM_PoseLit)->Apply(Sizes);
BENCHMARK(BM_ReadBack)->Apply(Sizes);
BENCHMARK(BM_WriteBmp)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-game") == 0) {
        std::filesystem::create_directories(argv[2]);
        Forge::SavePak(std::string(argv[2]) + "/data.pak",
                       SceneFiles::FilesOf(BenchScene(kRibbonMesh)));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
