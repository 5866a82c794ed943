// Every message box and common dialog of the program goes through these functions, so that
// one place decides how they are shown (and tests can answer them).
#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace App {

enum class MsgIcon { None, Information, Warning, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QWidget* owner = nullptr;
    QString text;
    QString caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

MsgAnswer ShowMessage(const MessageRequest& request);
// Shorthand for the common case: empty caption, OK, information icon.
void ShowInfo(QWidget* owner, const QString& text);

// An existing folder, or empty when cancelled; the dialog opens in `start` when given.
QString PickFolder(QWidget* owner, const QString& start = {});
// A file name to save to, or empty when cancelled. `start` is the folder the dialog opens
// in, optionally followed by the file name it proposes ("/out/hero.glb").
QString PickSaveFile(QWidget* owner, const QString& filter, const QString& defaultSuffix,
                     const QString& start = {});
// An existing file to read, or empty when cancelled.
QString PickOpenFile(QWidget* owner, const QString& filter, const QString& start = {});
// A colour, or nothing when cancelled; the picker opens on `current`. The custom colours
// are shared for the whole run.
std::optional<QColor> PickColor(QWidget* owner, const QColor& current = Qt::black);

// Replacements for the functions above; unset members keep the real dialogs.
struct DialogHooks {
    std::function<MsgAnswer(const MessageRequest&)> message;
    // Given where the real dialog would start (and for a file, the name it would propose).
    std::function<QString(QWidget*, const QString& start)> folder;
    std::function<QString(QWidget*, const QString& start)> saveFile;
    std::function<QString(QWidget*, const QString& start)> openFile;
    std::function<std::optional<QColor>(QWidget*, const QColor& current)> color;
};
void SetDialogHooks(DialogHooks hooks);

}  // namespace App
