// A shown main frame with its dialogs answered by the test, and game folders written by the
// project's writers.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AnimationBar.h"
#include "CommandTable.h"
#include "Dialogs.h"
#include "GlView.h"
#include "Language.h"
#include "MainFrame.h"
#include "TestUtil.h"
#include "TreeModel.h"
#include "forge/pak.h"
#include "forge/scene.h"
#include "model/model.h"
#include "view/view.h"

namespace AppTest {

// Records every message box and answers the dialogs from queues.
struct Answers {
    std::vector<App::MessageRequest> messages;
    std::deque<App::MsgAnswer> messageAnswers;  // empty: OK (or Yes)
    std::deque<QString> folders;                // empty: cancelled
    std::deque<QString> saveFiles;
    std::deque<QString> openFiles;  // empty: cancelled
    std::deque<std::optional<QColor>> colors;
    std::vector<QColor> colorsProposed;  // the colour each picker opened on
    std::vector<QString> folderStarts;   // where each folder picker would have opened
    std::vector<QString> saveStarts;     // each save dialog's folder and proposed name

    // The last message's text when `count` came, else how many did.
    QString Last(std::size_t count) const {
        return messages.size() == count ? messages.back().text
                                        : QStringLiteral("<%1 messages>").arg(messages.size());
    }
};

// The front of `queue`, taken off; `none` when it is empty.
template <class T>
T Pop(std::deque<T>& queue, T none = {}) {
    if (!queue.empty()) {
        none = queue.front();
        queue.pop_front();
    }
    return none;
}

inline void InstallAnswers(Answers& answers) {
    App::DialogHooks hooks;
    hooks.message = [&answers](const App::MessageRequest& request) {
        answers.messages.push_back(request);
        return Pop(answers.messageAnswers, request.buttons == App::MsgButtons::YesNo
                                               ? App::MsgAnswer::Yes
                                               : App::MsgAnswer::Ok);
    };
    hooks.folder = [&answers](QWidget*, const QString& start) {
        answers.folderStarts.push_back(start);
        return Pop(answers.folders);
    };
    hooks.saveFile = [&answers](QWidget*, const QString& start) {
        answers.saveStarts.push_back(start);
        return Pop(answers.saveFiles);
    };
    hooks.openFile = [&answers](QWidget*, const QString&) { return Pop(answers.openFiles); };
    hooks.color = [&answers](QWidget*, const QColor& current) {
        answers.colorsProposed.push_back(current);
        return Pop(answers.colors);
    };
    App::SetDialogHooks(std::move(hooks));
}

inline QString U(const char* text) {
    return QString::fromUtf8(text);
}

// Writes one archive "data.pak" into `folder`.
inline void WriteGame(const std::string& folder, const std::vector<Forge::PakFile>& files) {
    Forge::SavePak(folder + "/data.pak", files);
}

// The small character of forge's scene in `folder` (archive path with '\\' separators), one
// rectangle a sub-mesh; its root walks 10 along x.
inline std::vector<Forge::PakFile> Character(const std::string& folder,
                                             std::vector<SceneFiles::Patch> rects,
                                             const std::string& skinName = "hero.skn") {
    SceneFiles::Scene scene;
    scene.patches = std::move(rects);
    scene.travel = 10;
    std::vector<Forge::PakFile> files = SceneFiles::FilesOf(scene);
    for (Forge::PakFile& f : files) {
        const bool skin = f.path.ends_with(".skn");
        f.path = folder + "\\" + (skin ? skinName : f.path.substr(f.path.rfind('\\') + 1));
    }
    return files;
}

inline Forge::PakFile TextFile(const std::string& path, const std::string& text) {
    return {path, Forge::Bytes(text)};
}

// Pixels of `picture` passing `test`, every `step`th of every `step`th row.
template <class Test>
int Count(const QImage& picture, Test test, int step = 1) {
    int n = 0;
    for (int y = 0; y < picture.height(); y += step) {
        for (int x = 0; x < picture.width(); x += step) {
            n += test(picture.pixelColor(x, y));
        }
    }
    return n;
}

// Sends a mouse event to `widget` with the buttons held, as a drag delivers it.
inline void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button =
        type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(Qt::LeftButton);
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, {});
    QApplication::sendEvent(widget, &event);
}

// Tests wait for a condition with a gtest check around QTest::qWaitFor: a QTRY_ macro reports
// its failure to QTest only, returns, and gtest counts the test as passed.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every window starts from nothing remembered (the settings live in Qt's test place).
        QSettings().clear();
        // The language as the program starts it: the remembered one, Chinese here.
        App::UseLanguage(App::RememberedLanguage());
        InstallAnswers(answers);
        frame = std::make_unique<App::CVellModelBrowserMainFrame>();
        ASSERT_TRUE(frame->Create());
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        // Accelerators reach the active window only.
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        frame->UpdateActive();
    }
    void TearDown() override {
        // The model outlives the window: its GL objects go while their context lives.
        frame->View()->makeCurrent();
        View::GetModel()->Clear();
        frame.reset();
        App::SetDialogHooks({});
        App::UseLanguage(App::Language::Chinese);
    }

    // Clicks 设置 / 语言 / 中文 or English in the menus, as the user does, and lets every
    // widget hear of the change.
    void ChooseLanguage(App::Language language) {
        ClickMenuItem(language == App::Language::English ? App::Cmd::kLanguageEnglish
                                                         : App::Cmd::kLanguageChinese);
        QCoreApplication::sendPostedEvents();
        ASSERT_EQ(App::CurrentLanguage(), language);
    }

    // Opens `folder` through File / Open (Ctrl+O), as the user would.
    void OpenThroughMenu(const std::string& folder) {
        answers.folders.push_back(QString::fromStdString(folder));
        QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    }

    // Presses a key sequence ("Alt+S") on the window, as the keyboard does: to the widget
    // with the focus.
    void Press(const char* keys) {
        const QKeyCombination combination = QKeySequence(QString::fromLatin1(keys))[0];
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == frame.get() ? focus : frame.get(),
                        combination.key(), combination.keyboardModifiers());
    }

    // The index of a path ("chars/hero/hero.skn") in the tree, expanding on the way.
    QModelIndex Find(const QString& path) {
        App::CTreeModel* model = frame->TreeModel();
        QModelIndex parent;
        for (const QString& part : path.split('/')) {
            QModelIndex found;
            for (int row = 0; row < model->rowCount(parent); ++row) {
                const QModelIndex child = model->index(row, 0, parent);
                if (child.data().toString() == part) {
                    found = child;
                    break;
                }
            }
            if (!found.isValid()) {
                return {};
            }
            frame->Tree()->expand(found);
            parent = found;
        }
        return parent;
    }

    void Select(const QString& path) {
        const QModelIndex index = Find(path);
        ASSERT_TRUE(index.isValid()) << path.toStdString();
        frame->Tree()->setCurrentIndex(index);
    }

    // The names below an item of the tree, the top level by default.
    QStringList Names(const QModelIndex& parent = {}) {
        QStringList names;
        for (int row = 0; row < frame->TreeModel()->rowCount(parent); ++row) {
            names << frame->TreeModel()->index(row, 0, parent).data().toString();
        }
        return names;
    }

    // The middle of the part of the item at `path` in sight, in the tree's viewport: a long
    // name elsewhere in the tree makes the column wider than the view.
    QPoint ItemPoint(const QString& path) {
        const QModelIndex index = Find(path);
        EXPECT_TRUE(index.isValid()) << path.toStdString();
        QTreeView* tree = frame->Tree();
        tree->doItemsLayout();
        tree->scrollTo(index);
        return tree->visualRect(index).intersected(tree->viewport()->rect()).center();
    }

    // Double-clicks the item at `path` through the window, as the mouse does.
    void DoubleClick(const QString& path) {
        const QPoint at = frame->Tree()->viewport()->mapTo(frame.get(), ItemPoint(path));
        QTest::mouseDClick(frame->windowHandle(), Qt::LeftButton, {}, at);
    }

    // Picks entry `index` of the animation list in its popup with the keyboard, as the user
    // does: the choice counts even when it is the entry already shown.
    void PickAnimation(int index) {
        QComboBox* list = frame->AnimationList();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F4);
        QAbstractItemView* popup = list->view();
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }));
        QTest::keyClick(popup, Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(popup, Qt::Key_Down);
        }
        QTest::keyClick(popup, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !popup->isVisible(); }));
    }

    // Right-clicks the item at `path` and clicks `command` in its context menu, as the user
    // does. Fails the test when the menu doesn't offer the command enabled.
    void Choose(const QString& path, uint16_t command) {
        QTreeView* tree = frame->Tree();
        const QPoint at = ItemPoint(path);
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at);
        QAction* action = frame->Action(command);
        bool clicked = false;
        // The menu runs its own event loop: the click comes from inside it.
        const QObject inside;
        QTimer::singleShot(0, &inside, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu && menu->actions().contains(action) && action->isVisible() &&
                action->isEnabled()) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                clicked = true;
            } else if (menu) {
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
        EXPECT_TRUE(clicked) << path.toStdString() << ": no enabled item " << command;
    }

    // Choose with the folder picker answering `folder`.
    void Choose(const QString& path, uint16_t command, const std::string& folder) {
        answers.folders.push_back(QString::fromStdString(folder));
        Choose(path, command);
    }

    // Choose, and no message may come of it.
    void ChooseQuietly(const QString& path, uint16_t command) {
        Choose(path, command);
        ASSERT_TRUE(answers.messages.empty()) << answers.messages[0].text.toStdString();
    }

    // Clicks `command` in the menu bar's menus with the mouse: the menu's title, then the
    // item (in a sub-menu, its title first). Fails the test when no menu shows it enabled.
    void ClickMenuItem(uint16_t command) {
        QAction* action = frame->Action(command);
        QMenuBar* bar = frame->menuBar();
        for (QAction* title : bar->actions()) {
            QMenu* menu = title->menu();
            QAction* sub = nullptr;  // the sub-menu's title holding the item
            for (QAction* a : menu->actions()) {
                sub = a->menu() && a->menu()->actions().contains(action) ? a : sub;
            }
            if (!sub && !menu->actions().contains(action)) {
                continue;
            }
            const QPoint at = bar->actionGeometry(title).center();
            QTest::mouseMove(bar, at);
            QTest::mouseClick(bar, Qt::LeftButton, {}, at);
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == menu; }));
            if (sub) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(sub).center());
                menu = sub->menu();
                ASSERT_TRUE(
                    QTest::qWaitFor([&] { return QApplication::activePopupWidget() == menu; }));
            }
            ASSERT_TRUE(action->isEnabled());
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return QApplication::activePopupWidget() == nullptr; }));
            return;
        }
        ADD_FAILURE() << "no menu holds command " << command;
    }

    // Clicks the parts button: every sub-mesh shown, or with Ctrl none.
    void ClickPartsButton(Qt::KeyboardModifiers modifiers = {}) {
        QWidget* button = frame->Bar()->PartsButton();
        QTest::mouseClick(button, Qt::LeftButton, modifiers, QPoint(12, button->height() / 2));
    }

    // The window of type W opened last, once it shows.
    template <class W>
    W* Opened(QObject* parent) {
        W* window = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            window = parent->findChild<W*>();
            return window && window->isVisible();
        }));
        return window;
    }

    // Runs `answer` once `find` finds the window it waits for, visible: a dialog runs its own
    // event loop, so the answer comes from a timer inside it.
    void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> answer) {
        auto* poll = new QTimer(&timers);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, find, answer] {
            if (QWidget* window = find(); window && window->isVisible()) {
                poll->stop();
                answer(window);
                poll->deleteLater();
            }
        });
        poll->start(0);
    }
    // Enter in the next modal dialog (保存截图...'s size: the view's, opaque).
    void AcceptNextDialog() {
        WhenShown([] { return QApplication::activeModalWidget(); },
                  [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    }

    Answers answers;
    std::unique_ptr<App::CVellModelBrowserMainFrame> frame;
    QObject timers;
};

}  // namespace AppTest
