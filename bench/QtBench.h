// What the desktop program's benchmarks share: a private Xvfb display, a main window shown
// on it with its GL view ready, finding an archived path in its tree, and the main().
#pragma once

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QThread>
#include <QTreeView>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <string>

#include "CommandTable.h"
#include "GlView.h"
#include "MainFrame.h"
#include "TreeModel.h"

namespace QtBench {

// Starts Xvfb on a free display and points DISPLAY at it; -1 when it can't start.
inline pid_t StartXvfb() {
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

// The tree's row for an archived path such as "\\chars\\hero\\hero.skn"; invalid if absent.
inline QModelIndex Find(App::CVellModelBrowserMainFrame& frame, const char* archivePath) {
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

// A main window shown, with its view's GL context made, and the game folder open.
inline std::unique_ptr<App::CVellModelBrowserMainFrame> ShownFrame(const std::string& folder) {
    auto frame = std::make_unique<App::CVellModelBrowserMainFrame>();
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
    return frame;
}

// Chooses an archived file in the tree and runs a command on it, as a click and a menu would.
inline void Choose(App::CVellModelBrowserMainFrame& frame, const char* archivePath,
                   uint16_t command) {
    frame.Tree()->setCurrentIndex(Find(frame, archivePath));
    frame.OnCommand(command);
}

enum class Display { Offscreen, Xvfb };

// The benchmarks' main(): Qt on the display asked for, then every benchmark.
inline int Main(int argc, char** argv, Display display) {
    pid_t xvfb = -1;
    if (display == Display::Xvfb) {
        xvfb = StartXvfb();
        if (xvfb < 0) {
            std::fprintf(stderr, "%s: can't start Xvfb\n", argv[0]);
            return 1;
        }
    }
    ::setenv("QT_QPA_PLATFORM", display == Display::Xvfb ? "xcb" : "offscreen", 1);
    {
        QApplication app(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    if (xvfb > 0) {
        ::kill(xvfb, SIGTERM);
        ::waitpid(xvfb, nullptr, 0);
    }
    return 0;
}

}  // namespace QtBench
