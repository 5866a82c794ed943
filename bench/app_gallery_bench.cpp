// The gallery over the sample game with its crowd (make-sample --characters 200): every
// model's picture drawn into an empty cache, and again from the warm cache, while a 1 ms
// timer on the window's thread measures the longest gap between its events (how long the
// window could not answer). Runs on its own Xvfb display, the cache in a temporary folder.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "CommandTable.h"
#include "Gallery.h"
#include "MainFrame.h"
#include "QtBench.h"
#include "Thumbnails.h"
#include "forge/sample.h"

namespace {

constexpr uint32_t kCrowd = 200;

const std::string& SampleFolder() {
    static const std::string folder = [] {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("vell-gallery-bench-" + std::to_string(::getpid())))
                                     .string();
        std::filesystem::create_directories(path + "/game");
        std::filesystem::create_directories(path + "/cache");
        Forge::SaveSampleGame(Forge::MakeSampleGame({.characters = kCrowd}), path + "/game");
        // The XDG cache folder the gallery keeps its pictures under.
        ::setenv("XDG_CACHE_HOME", (path + "/cache").c_str(), 1);
        return path;
    }();
    return folder;
}

struct Run {
    double seconds = 0;
    qint64 longestGapMs = 0;
};

// Opens the gallery of the whole game and waits for every picture, the timer watching.
Run FillGallery(App::CVellModelBrowserMainFrame& frame) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    beat.start();
    frame.Tree()->setCurrentIndex({});
    frame.OnCommand(App::Cmd::kGallery);
    App::CGallery* gallery = frame.Gallery();
    // The window's own loop, as a user's session runs it: it waits for events.
    QEventLoop loop;
    QTimer done;
    done.setInterval(5);
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (gallery->Done()) {
            loop.quit();
        }
    });
    done.start();
    loop.exec();
    Run run{clock.nsecsElapsed() / 1e9, std::max(longest, clock.elapsed() - last)};
    beat.stop();
    gallery->close();
    QCoreApplication::processEvents();
    return run;
}

void Report(benchmark::State& state, App::CVellModelBrowserMainFrame& frame, qint64 longest) {
    const App::CGallery* gallery = frame.Gallery();
    state.counters["tiles"] = gallery->Grid() ? gallery->MadeTiles() : 0;
    state.counters["longest_gap_ms"] = static_cast<double>(longest);
    qint64 most = 0;
    const QFileInfoList files = QDir(App::ThumbnailCacheFolder()).entryInfoList(QDir::Files);
    for (const QFileInfo& file : files) {
        most = std::max(most, file.size());
    }
    state.counters["cache_files"] = static_cast<double>(files.size());
    state.counters["largest_cache_file_kb"] = static_cast<double>(most) / 1024;
}

void BM_GalleryColdCache(benchmark::State& state) {
    const std::string& folder = SampleFolder();
    auto frame = QtBench::ShownFrame(folder + "/game");
    qint64 longest = 0;
    for (auto _ : state) {
        QDir(App::ThumbnailCacheFolder()).removeRecursively();
        const Run run = FillGallery(*frame);
        state.SetIterationTime(run.seconds);
        longest = std::max(longest, run.longestGapMs);
    }
    Report(state, *frame, longest);
}
BENCHMARK(BM_GalleryColdCache)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_GalleryWarmCache(benchmark::State& state) {
    const std::string& folder = SampleFolder();
    auto frame = QtBench::ShownFrame(folder + "/game");
    FillGallery(*frame);  // the cache filled first
    qint64 longest = 0;
    for (auto _ : state) {
        const Run run = FillGallery(*frame);
        state.SetIterationTime(run.seconds);
        longest = std::max(longest, run.longestGapMs);
    }
    Report(state, *frame, longest);
}
BENCHMARK(BM_GalleryWarmCache)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return QtBench::Main(argc, argv, QtBench::Display::Xvfb);
}
