// Runs the tests inside a QApplication on a private Xvfb display started here, so that
// nothing has to be running beforehand. Listing the tests needs no display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <string>

#include "MessageLoop.h"

namespace {

// Starts `Xvfb -displayfd` and returns its pid; `display` receives ":N".
pid_t StartXvfb(std::string& display) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
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
    display = ":" + number;
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    std::string display;
    const pid_t xvfb = StartXvfb(display);
    if (xvfb < 0) {
        std::fprintf(stderr, "app_tests: can't start Xvfb\n");
        return 1;
    }
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result = 1;
    {
        QApplication app(argc, argv);
        // Settings go to a place of Qt's own for tests, never the user's.
        QStandardPaths::setTestModeEnabled(true);
        App::CMessageLoop loop;
        result = RUN_ALL_TESTS();
    }
    ::kill(xvfb, SIGTERM);
    ::waitpid(xvfb, nullptr, 0);
    return result;
}
