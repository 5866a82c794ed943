#include "Run.h"

#include <QApplication>
#include <QFontDatabase>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "MessageLoop.h"

namespace App {

namespace {

constexpr int kNormalExit = 1;
constexpr int kNoWindow = 0;
// Set, makes the program answer every message box with OK (or Yes), print its text on
// stderr and close its window as soon as it runs (tests of the whole program).
constexpr const char* kTestCloseEnv = "VELL_TEST_CLOSE";

void CloseWhenRunning(QWidget& frame) {
    DialogHooks hooks;
    hooks.message = [](const MessageRequest& request) {
        std::fprintf(stderr, "message: %s\n", request.text.toUtf8().constData());
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    };
    SetDialogHooks(std::move(hooks));
    QTimer::singleShot(0, &frame, &QWidget::close);
}

// Chinese texts need a face that has them; the platform's default may not.
void ChooseFont(QApplication& app) {
    for (const char* family : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            QFont font = app.font();
            font.setFamily(QString::fromLatin1(family));
            app.setFont(font);
            return;
        }
    }
}

}  // namespace

int Run(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    ChooseFont(app);
    CMessageLoop loop;
    CVellModelBrowserMainFrame frame;
    if (!frame.Create()) {
        return kNoWindow;
    }
    QObject::connect(&frame, &CVellModelBrowserMainFrame::Destroyed, &app,
                     [] { QCoreApplication::exit(kNormalExit); });
    frame.show();
    frame.UpdateActive();
    // The view's context is made when the window first shows.
    QCoreApplication::processEvents();
    if (!frame.View()->isValid()) {
        ShowMessage({frame.View(), QStringLiteral("Can't Create A GL Rendering Context."),
                     QString(), MsgButtons::Ok, MsgIcon::None});
    }
    const bool closeAtOnce = std::getenv(kTestCloseEnv) != nullptr;
    if (closeAtOnce) {
        CloseWhenRunning(frame);
    }
    const QStringList args = app.arguments();
    if (args.size() > 1) {
        frame.OpenGameFolder(args.at(1));
    }
    return loop.Run();
}

}  // namespace App
