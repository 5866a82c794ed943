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
// A file name to save to, or empty when cancelled.
QString PickSaveFile(QWidget* owner, const QString& filter, const QString& defaultSuffix,
                     const QString& start = {});
// A colour, or nothing when cancelled; the picker opens on `current`. The custom colours
// are shared for the whole run.
std::optional<QColor> PickColor(QWidget* owner, const QColor& current = Qt::black);

// Replacements for the functions above; unset members keep the real dialogs.
struct DialogHooks {
    std::function<MsgAnswer(const MessageRequest&)> message;
    std::function<QString(QWidget*)> folder;
    std::function<QString(QWidget*)> saveFile;
    std::function<std::optional<QColor>(QWidget*, const QColor& current)> color;
};
void SetDialogHooks(DialogHooks hooks);

}  // namespace App
