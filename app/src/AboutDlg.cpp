#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "GlView.h"
#include "MainFrame.h"

namespace App {

namespace {

constexpr const char* kContact = "vell-model-browser@users.noreply.example.org";
constexpr int kWidth = 300;
constexpr int kHeight = 430;

}  // namespace

std::string GlText(const GlInfo& info) {
    std::string text = "GL Vendor\t:" + info.vendor + "\r\n";
    text += "GL Renderer\t:" + info.renderer + "\r\n";
    text += "GL Version\t:" + info.version + "\r\n";
    text += "GLu Version\t:" + info.gluVersion + "\r\n";
    text += "\r\nSupported GL Extensions:\r\n";
    for (const std::string& name : info.extensions) {
        text += name + "\r\n";
    }
    return text;
}

std::string BuildStamp() {
    return std::string(__DATE__) + "  " + __TIME__;
}

CAboutDlg::CAboutDlg(QWidget* parent, CVellModelBrowserRenderView& view) : QDialog(parent) {
    setWindowTitle(tr("关于"));
    setFont(QFont(QStringLiteral("Times New Roman"), 10));
    resize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/about.png")).scaled(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    const QString title = ProductTitle();
    m_title =
        new QLabel(QStringLiteral("%1\n\n%2").arg(title, tr("Vell 角色模型查看与转换工具")), this);
    m_title->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_title);

    const QString contact = QString::fromLatin1(kContact);
    m_link = new QLabel(
        QStringLiteral("<a href=\"mailto:%1\" style=\"text-decoration:none\">%1</a>").arg(contact),
        this);
    m_link->setAlignment(Qt::AlignCenter);
    m_link->setOpenExternalLinks(true);
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    layout->addWidget(m_link);

    m_date = new QLabel(QString::fromStdString(BuildStamp()), this);
    m_date->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_date);

    m_gl = new QPlainTextEdit(this);
    m_gl->setReadOnly(true);
    m_gl->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The text keeps its "\r\n" line ends; the editor wants plain ones.
    m_gl->setPlainText(QString::fromStdString(GlText(GetGlInfo(view))).remove(QChar('\r')));
    layout->addWidget(m_gl, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { done(kOk); });
    layout->addWidget(buttons);

    if (parent) {
        move(parent->geometry().center() - rect().center());
    }
}

QString CAboutDlg::TitleText() const {
    return m_title->text();
}
QString CAboutDlg::DateText() const {
    return m_date->text();
}
QString CAboutDlg::LinkText() const {
    return m_link->text();
}
QString CAboutDlg::GlInfoText() const {
    return m_gl->toPlainText();
}

}  // namespace App
