#include "PictureDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

#include "picture/picture.h"

namespace App {

namespace {

QSpinBox* SideBox(QWidget* owner, const char* name, int value) {
    auto* box = new QSpinBox(owner);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, Picture::kMaxSide);
    box->setValue(value);
    box->setSuffix(CPictureDlg::tr(" 像素"));
    return box;
}

}  // namespace

CPictureDlg::CPictureDlg(QWidget* owner, QSize proposed) : QDialog(owner) {
    setObjectName(QStringLiteral("pictureDialog"));
    setWindowTitle(tr("保存截图"));
    auto* form = new QFormLayout(this);
    m_width = SideBox(this, "pictureWidth", proposed.width());
    m_height = SideBox(this, "pictureHeight", proposed.height());
    m_transparent = new QCheckBox(tr("透明背景(&R)"), this);
    m_transparent->setObjectName(QStringLiteral("pictureTransparent"));
    form->addRow(tr("宽度(&W):"), m_width);
    form->addRow(tr("高度(&E):"), m_height);
    form->addRow(m_transparent);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Enter in a size box takes the picture.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    m_width->setFocus();
    m_width->selectAll();
}

PictureChoice CPictureDlg::Choice() const {
    return {QSize(m_width->value(), m_height->value()), m_transparent->isChecked()};
}

std::optional<PictureChoice> AskPicture(QWidget* owner, QSize proposed) {
    CPictureDlg dialog(owner, proposed);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choice();
}

}  // namespace App
