#include "Run.h"

#include <QApplication>
#include <QFontDatabase>

#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "MessageLoop.h"

namespace App {

namespace {

constexpr int kNormalExit = 1;
constexpr int kNoWindow = 0;

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
    const QStringList args = app.arguments();
    if (args.size() > 1) {
        frame.OpenGameFolder(args.at(1));
    }
    return loop.Run();
}

}  // namespace App
