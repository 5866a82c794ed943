#include "Run.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "Dialogs.h"
#include "GlView.h"
#include "Language.h"
#include "MainFrame.h"
#include "MessageLoop.h"
#include "Soak.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr int kNormalExit = 1;
constexpr int kNoWindow = 0;
constexpr int kNoDisplay = 2;
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

// For measurements: a file that the number of pictures drawn is written to every half
// second, and files of the game loaded at start ("SKIN[,ANI[,ANIMATION]]", tree paths).
constexpr const char* kPictureCountEnv = "VELL_PICTURE_COUNT";
constexpr const char* kMeasureLoadEnv = "VELL_MEASURE_LOAD";
// Loads and closes every skin of the game in turn ("LOADS,REPORT_FILE"; see Soak.h).
constexpr const char* kSoakEnv = "VELL_MEASURE_SOAK";
constexpr int kCountPeriodMs = 500;

void WritePictureCount(CVellModelBrowserMainFrame& frame, const QString& path) {
    auto* timer = new QTimer(&frame);
    QObject::connect(timer, &QTimer::timeout, &frame, [&frame, path] {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QByteArray::number(frame.View()->Pictures()) + "\n");
        }
    });
    timer->start(kCountPeriodMs);
}

void LoadForMeasurement(CVellModelBrowserMainFrame& frame, const QString& spec) {
    const QStringList parts = spec.split(QLatin1Char(','));
    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    if (PakMgr::ITreeNode* skin = PakMgr::FindPath(mgr, parts.value(0).toStdString())) {
        frame.LoadSkin(skin);
    }
    if (parts.size() > 1) {
        if (PakMgr::ITreeNode* ani = PakMgr::FindPath(mgr, parts.value(1).toStdString())) {
            frame.LoadAnimation(ani);
        }
    }
    if (parts.size() > 2) {
        const int index = parts.value(2).toInt();
        frame.AnimationList()->setCurrentIndex(index);
        Q_EMIT frame.AnimationList()->activated(index);
    }
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

QtMessageHandler g_qtHandler = nullptr;

// While the application object is made: Qt's complaints about the display are left out and
// its fatal one (no platform plugin could start) becomes one line and exit status 2, not
// an abort that would look like a crash.
void DisplayMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(
            stderr, "VellModelBrowser: can't open a display (DISPLAY=%s): no window can be shown\n",
            display ? display : "");
        std::_Exit(kNoDisplay);
    }
    if (context.category && std::string_view(context.category).starts_with("qt.qpa")) {
        return;
    }
    if (g_qtHandler) {
        g_qtHandler(type, context, text);
    }
}

}  // namespace

void SetIdentity() {
    QCoreApplication::setOrganizationName(QStringLiteral("Vell"));
    QCoreApplication::setApplicationName(QStringLiteral("VellModelBrowser"));
}

int Run(int argc, char** argv) {
    g_qtHandler = qInstallMessageHandler(DisplayMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    SetIdentity();
    app.setQuitOnLastWindowClosed(false);
    ChooseFont(app);
    // The menus and Qt's own dialogs and buttons speak the language last chosen, Chinese
    // unless English was, whatever the locale says.
    UseLanguage(RememberedLanguage());
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
    if (const char* path = std::getenv(kPictureCountEnv)) {
        WritePictureCount(frame, QString::fromLocal8Bit(path));
    }
    if (const char* spec = std::getenv(kMeasureLoadEnv)) {
        LoadForMeasurement(frame, QString::fromLocal8Bit(spec));
    }
    if (const char* spec = std::getenv(kSoakEnv)) {
        StartSoak(frame, QString::fromLocal8Bit(spec));
    }
    return loop.Run();
}

}  // namespace App
