#include "FileViewer.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

#include "Dialogs.h"
#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kOffsetDigits = 8;
// "00000000  " + 16 × "xx " + one gap + 16 characters + line break.
constexpr int kLineChars = kOffsetDigits + 2 + kBytesPerLine * 3 + 1 + 1 + kBytesPerLine + 1;
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 600;
constexpr char kHexDigits[] = "0123456789abcdef";

void AppendLine(std::string& out, std::size_t offset, std::span<const uint8_t> line) {
    for (int shift = (kOffsetDigits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHexDigits[(offset >> shift) & 0xF];
    }
    out += "  ";
    for (int i = 0; i < kBytesPerLine; ++i) {
        if (i == kBytesPerLine / 2) {
            out += ' ';
        }
        if (i < static_cast<int>(line.size())) {
            out += kHexDigits[line[i] >> 4];
            out += kHexDigits[line[i] & 0xF];
            out += ' ';
        } else {
            out += "   ";
        }
    }
    out += ' ';
    for (const uint8_t byte : line) {
        out += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    out += '\n';
}

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

QString SizeNote(std::size_t shown, uint64_t total) {
    if (shown >= total) {
        // The plural form follows the size ("1 byte"); sizes past an int's range are many.
        const auto many = static_cast<int>(std::min<uint64_t>(total, INT_MAX));
        return CFileViewer::tr("共 %1 字节", nullptr, many).arg(total);
    }
    return CFileViewer::tr("显示前 %1 字节, 共 %2 字节").arg(shown).arg(total);
}

}  // namespace

bool LooksLikeText(std::span<const uint8_t> bytes) {
    const auto probe = bytes.first(std::min(bytes.size(), kTextProbe));
    return std::find(probe.begin(), probe.end(), uint8_t{0}) == probe.end();
}

QString DecodeText(std::span<const uint8_t> bytes, bool whole) {
    // Of a head, a sequence cut at the end is left pending (the file goes on); of a whole
    // file, it is bad UTF-8.
    QStringDecoder decoder(QStringDecoder::Utf8, whole ? QStringConverter::Flag::Stateless
                                                       : QStringConverter::Flag::Default);
    const QByteArrayView view(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
    QString text = decoder.decode(view);
    if (!decoder.hasError()) {
        return text;
    }
    const std::string converted = Base::GbkToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return QString::fromStdString(converted);
}

QString HexDump(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() / kBytesPerLine + 1) * kLineChars);
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBytesPerLine) {
        AppendLine(
            out, offset,
            bytes.subspan(offset, std::min<std::size_t>(kBytesPerLine, bytes.size() - offset)));
    }
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

CFileViewer::CFileViewer(QWidget* owner, const QString& name, std::vector<uint8_t> head,
                         uint64_t total)
    : QWidget(owner, Qt::Window), m_name(name), m_total(total), m_isText(LooksLikeText(head)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FileViewer"));
    auto* layout = new QVBoxLayout(this);

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(m_isText ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    std::span<const uint8_t> shown(head);
    shown = shown.first(std::min(shown.size(), m_isText ? kTextShownMax : kHexShownMax));
    m_shownBytes = shown.size();
    m_text->setPlainText(m_isText ? DecodeText(shown, m_shownBytes >= total) : HexDump(shown));
    layout->addWidget(m_text, 1);

    auto* bar = new QHBoxLayout;
    m_find = new QLineEdit(this);
    m_find->setClearButtonEnabled(true);
    m_next = new QPushButton(this);
    m_note = new QLabel(this);
    bar->addWidget(m_find, 1);
    bar->addWidget(m_next);
    bar->addWidget(m_note);
    layout->addLayout(bar);
    connect(m_find, &QLineEdit::returnPressed, this, &CFileViewer::FindNext);
    connect(m_next, &QPushButton::clicked, this, &CFileViewer::FindNext);
    // The window's own shortcut: the main window's Ctrl+F (fill mode) lives in another window.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });
    // Escape closes it, as it closes the dialogs.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    Retranslate();
    resize(kInitialWidth, kInitialHeight);
    m_text->setFocus();
}

void CFileViewer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QWidget::changeEvent(event);
}

void CFileViewer::Retranslate() {
    setWindowTitle(tr("查看 - %1").arg(m_name));
    m_find->setPlaceholderText(tr("查找 (Ctrl+F)"));
    m_next->setText(tr("查找下一个"));
    m_note->setText(ShownNote());
}

QString CFileViewer::ShownNote() const {
    return (m_isText ? tr("文本") : tr("十六进制")) + QStringLiteral("  ") +
           SizeNote(m_shownBytes, m_total);
}

bool CFileViewer::FindNext() {
    const QString term = m_find->text();
    if (term.isEmpty()) {
        return false;
    }
    if (!m_text->find(term)) {
        QTextCursor start = m_text->textCursor();
        start.movePosition(QTextCursor::Start);
        m_text->setTextCursor(start);
        if (!m_text->find(term)) {
            m_note->setText(tr("找不到“%1”").arg(term));
            return false;
        }
    }
    m_note->setText(ShownNote());
    return true;
}

CFileViewer* ShowFileViewer(QWidget* owner, PakMgr::ITreeNode* node) {
    const QString name = FromGbk(node->Name());
    std::vector<uint8_t> head;
    uint64_t total = 0;
    if (!PakMgr::GetPakMgr()->LoadHead(node, std::max(kTextShownMax, kHexShownMax), head, total)) {
        ShowInfo(owner, CFileViewer::tr("无法读取文件 %1").arg(name));
        return nullptr;
    }
    auto* viewer = new CFileViewer(owner, name, std::move(head), total);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

}  // namespace App
