// The desktop program's frame loop while the sample hero walks: one timer tick (draw, show,
// advance), and its parts: the scene drawn with the GL work finished, and the model's
// advance. Runs on a private Xvfb display started here.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <GL/gl.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QThread>
#include <QTreeView>
#include <QWindow>
#include <filesystem>

#include "CommandTable.h"
#include "GlView.h"
#include "MainFrame.h"
#include "Timeline.h"
#include "TreeModel.h"
#include "forge/sample.h"
#include "model/model.h"
#include "view/view.h"

namespace {

pid_t StartXvfb() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                 "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        return -1;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return pid;
}

QModelIndex Find(App::CVellModelBrowserMainFrame& frame, const char* archivePath) {
    App::CTreeModel* model = frame.TreeModel();
    QModelIndex parent;
    const QString path = QString::fromLatin1(archivePath + 1);
    for (const QString& part : path.split('\\')) {
        QModelIndex found;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            if (model->index(row, 0, parent).data().toString() == part) {
                found = model->index(row, 0, parent);
            }
        }
        parent = found;
    }
    return parent;
}

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
    frame = std::make_unique<App::CVellModelBrowserMainFrame>();
    frame->Create();
    frame->show();
    for (int i = 0; i < 400 && !(frame->windowHandle() && frame->windowHandle()->isExposed() &&
                                 frame->View()->HasContext());
         ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    frame->UpdateActive();
    frame->OpenGameFolder(QString::fromStdString(folder));
    frame->Tree()->setCurrentIndex(Find(*frame, Forge::Sample::kHeroSkin));
    frame->OnCommand(App::Cmd::kRenderSkin);
    frame->Tree()->setCurrentIndex(Find(*frame, Forge::Sample::kHeroAnimation));
    frame->OnCommand(App::Cmd::kApplyAnimate);
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
    const pid_t xvfb = StartXvfb();
    if (xvfb < 0) {
        std::fprintf(stderr, "app_frame_bench: can't start Xvfb\n");
        return 1;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    {
        QApplication app(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    ::kill(xvfb, SIGTERM);
    ::waitpid(xvfb, nullptr, 0);
    return 0;
}
