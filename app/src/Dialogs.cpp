#include "Dialogs.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <utility>

namespace App {

namespace {

constexpr std::pair<QMessageBox::StandardButton, const char*> kButtonTexts[] = {
    {QMessageBox::Ok, QT_TRANSLATE_NOOP("App::Dialogs", "确定")},
    {QMessageBox::Cancel, QT_TRANSLATE_NOOP("App::Dialogs", "取消")},
    {QMessageBox::Yes, QT_TRANSLATE_NOOP("App::Dialogs", "是")},
    {QMessageBox::No, QT_TRANSLATE_NOOP("App::Dialogs", "否")},
};

DialogHooks& Hooks() {
    static DialogHooks hooks;
    return hooks;
}

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MsgAnswer FromQt(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Ok;
    }
}

void InitCustomColors() {
    static const bool done = [] {
        for (int i = 0; i < QColorDialog::customCount(); ++i) {
            QColorDialog::setCustomColor(i, Qt::white);
        }
        return true;
    }();
    (void)done;
}

}  // namespace

void SetDialogHooks(DialogHooks hooks) {
    Hooks() = std::move(hooks);
}

MsgAnswer ShowMessage(const MessageRequest& request) {
    if (Hooks().message) {
        return Hooks().message(request);
    }
    QMessageBox box(ToQt(request.icon), request.caption, request.text, ToQt(request.buttons),
                    request.owner);
    // The buttons speak Chinese like the rest of the program, whether or not Qt's own texts
    // are translated where the box shows (the crash question runs in a bare copy).
    for (const auto& [button, text] : kButtonTexts) {
        if (QAbstractButton* shown = box.button(button)) {
            shown->setText(QCoreApplication::translate("App::Dialogs", text));
        }
    }
    return FromQt(box.exec());
}

void ShowInfo(QWidget* owner, const QString& text) {
    ShowMessage({owner, text, QString(), MsgButtons::Ok, MsgIcon::Information});
}

QString PickFolder(QWidget* owner, const QString& start) {
    if (Hooks().folder) {
        return Hooks().folder(owner, start);
    }
    return QFileDialog::getExistingDirectory(owner, QString(), start, QFileDialog::ShowDirsOnly);
}

QString PickSaveFile(QWidget* owner, const QString& filter, const QString& defaultSuffix,
                     const QString& start) {
    if (Hooks().saveFile) {
        return Hooks().saveFile(owner, start);
    }
    QFileDialog dialog(owner, QString(), start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

QString PickOpenFile(QWidget* owner, const QString& filter, const QString& start) {
    if (Hooks().openFile) {
        return Hooks().openFile(owner, start);
    }
    return QFileDialog::getOpenFileName(owner, QString(), start, filter);
}

std::optional<QColor> PickColor(QWidget* owner, const QColor& current) {
    InitCustomColors();
    if (Hooks().color) {
        return Hooks().color(owner, current);
    }
    const QColor color = QColorDialog::getColor(current, owner);
    if (!color.isValid()) {
        return std::nullopt;
    }
    return color;
}

}  // namespace App
