// The desktop program's frame loop while the sample hero walks: one timer tick (draw, show,
// advance), and its parts: the scene drawn with the GL work finished, and the model's
// advance. Runs on a private Xvfb display started here.
#include <GL/gl.h>

#include <QComboBox>
#include <QSlider>
#include <filesystem>

#include "QtBench.h"
#include "Timeline.h"
#include "forge/sample.h"
#include "model/model.h"
#include "view/view.h"

namespace {

// The frame with the sample hero loaded and walking.
App::CVellModelBrowserMainFrame& WalkingHero() {
    static std::unique_ptr<App::CVellModelBrowserMainFrame> frame;
    if (frame) {
        return *frame;
    }
    static const std::string folder =
        (std::filesystem::temp_directory_path() / "vell-app-frame-bench").string();
    std::filesystem::create_directories(folder);
    Forge::SaveSampleGame(Forge::MakeSampleGame(), folder);
    frame = QtBench::ShownFrame(folder);
    QtBench::Choose(*frame, Forge::Sample::kHeroSkin, App::Cmd::kRenderSkin);
    QtBench::Choose(*frame, Forge::Sample::kHeroAnimation, App::Cmd::kApplyAnimate);
    frame->AnimationList()->setCurrentIndex(2);
    frame->AnimationList()->activated(2);
    return *frame;
}

void BM_TimerTick(benchmark::State& state) {
    App::CVellModelBrowserMainFrame& frame = WalkingHero();
    for (auto _ : state) {
        frame.View()->OnTimer();
    }
}
BENCHMARK(BM_TimerTick)->Iterations(600)->Unit(benchmark::kMillisecond);

// Dragging the timeline's slider over the walk: every value it passes is held, posed,
// drawn and shown. The target is at least 30 pictures a second.
void BM_TimelineScrub(benchmark::State& state) {
    App::CVellModelBrowserMainFrame& frame = WalkingHero();
    QSlider* slider = frame.Timeline()->Slider();
    frame.Timeline()->TogglePlay();  // paused, as a drag leaves it
    const int pictures = frame.View()->Pictures();
    int value = 0;
    for (auto _ : state) {
        value = value < slider->maximum() ? value + 1 : 0;
        slider->setValue(value);
    }
    frame.Timeline()->TogglePlay();
    if (frame.View()->Pictures() - pictures < static_cast<int>(state.iterations())) {
        state.SkipWithError("a frame passed was not drawn");
    }
    state.counters["pictures/s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TimelineScrub)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawScene(benchmark::State& state) {
    App::CVellModelBrowserMainFrame& frame = WalkingHero();
    for (auto _ : state) {
        frame.View()->RenderFrame();
        glFinish();
    }
}
BENCHMARK(BM_DrawScene)->Iterations(600)->Unit(benchmark::kMillisecond);

void BM_ModelUpdate(benchmark::State& state) {
    WalkingHero();
    Model::IVellModel* model = View::GetModel();
    float frame = 0;
    for (auto _ : state) {
        // Every call poses a new frame, the most work an Update can do.
        model->PoseAt(frame);
        frame = frame + 1 >= Forge::Sample::kFrameCounts[1] ? 0 : frame + 1;
    }
}
BENCHMARK(BM_ModelUpdate)->Iterations(600)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return QtBench::Main(argc, argv, QtBench::Display::Xvfb);
}
