// Runs the tests inside a QApplication on a private Xvfb display started here, so that
// nothing has to be running beforehand. Listing the tests needs no display.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "MessageLoop.h"

namespace {

// Xvfb started by a shell that prints its pid and waits for it; Xvfb prints the display
// number it chose.
struct Xvfb {
    FILE* shell = nullptr;
    int pid = -1;
    std::string display;  // ":N", empty when it did not start
};

Xvfb StartXvfb() {
    Xvfb x;
    x.shell = ::popen(
        "Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset "
        "3>&1 >/dev/null & echo $!; wait",
        "re");
    int number = -1;
    if (x.shell && std::fscanf(x.shell, "%d %d", &x.pid, &number) == 2 && number >= 0) {
        x.display = ":" + std::to_string(number);
    }
    return x;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    const Xvfb xvfb = StartXvfb();
    if (xvfb.display.empty()) {
        std::fprintf(stderr, "app_tests: can't start Xvfb\n");
        return 1;
    }
    ::setenv("DISPLAY", xvfb.display.c_str(), 1);
    // A home of its own: Qt's test settings live below it, and test programs that run side by
    // side must not see each other's recent folders.
    std::string home = (std::filesystem::temp_directory_path() / "vell-app-home-XXXXXX").string();
    if (::mkdtemp(home.data())) {
        ::setenv("HOME", home.c_str(), 1);
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result = 1;
    {
        QApplication app(argc, argv);
        // Settings go to a place of Qt's own for tests, never the user's.
        QStandardPaths::setTestModeEnabled(true);
        App::CMessageLoop loop;
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    ::kill(xvfb.pid, SIGTERM);
    ::pclose(xvfb.shell);  // the shell waits for Xvfb to end
    return result;
}
