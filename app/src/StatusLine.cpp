#include "StatusLine.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>

namespace App {

namespace {

constexpr int kProgressRepaintMs = 50;
constexpr const char* kIdleText = "准备";
constexpr const char* kCancelText = "取消";
// The second status pane is as wide as this text, and never shows it.
constexpr const char* kProgressPaneText = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";

}  // namespace

CProgress::CProgress(CStatusLine& line, std::function<void()> cancel)
    : m_line(line), m_bar(std::make_unique<QProgressBar>(line.m_pane)) {
    QRect area = line.m_pane->rect();
    if (cancel) {
        m_cancel = std::make_unique<QToolButton>(line.m_pane);
        m_cancel->setText(QString::fromUtf8(kCancelText));
        const int width = m_cancel->sizeHint().width();
        m_cancel->setGeometry(area.right() - width + 1, area.top(), width, area.height());
        QObject::connect(m_cancel.get(), &QToolButton::clicked, std::move(cancel));
        m_cancel->show();
        area.setRight(area.right() - width);
        line.m_cancelButton = m_cancel.get();
    }
    m_bar->setTextVisible(false);
    m_bar->setGeometry(area);
    m_bar->setRange(0, 0);
    m_bar->setValue(0);
    m_bar->show();
    line.m_progress = m_bar.get();
}

CProgress::~CProgress() {
    m_bar->hide();
    m_line.m_progress = nullptr;
    if (m_cancel) {
        m_cancel->hide();
        m_line.m_cancelButton = nullptr;
    }
}

void CProgress::SetRange(int low, int high) {
    m_bar->setRange(low, std::max(low, high));
    Show(true);
}

void CProgress::SetPosition(int position) {
    m_position = position;
    Show(false);
}

void CProgress::Step() {
    ++m_position;
    Show(false);
}

void CProgress::Show(bool force) {
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    const qint64 now = clock.elapsed();
    if (!force && m_lastPaint >= 0 && now - m_lastPaint < kProgressRepaintMs) {
        return;
    }
    m_lastPaint = now;
    m_bar->setValue(std::min(m_position, m_bar->maximum()));
    m_bar->repaint();
}

CStatusLine::CStatusLine(QStatusBar& bar) {
    m_text = new QLabel(QString::fromUtf8(kIdleText), &bar);
    bar.addWidget(m_text, 1);
    m_pane = new QWidget(&bar);
    m_pane->setFixedWidth(
        m_pane->fontMetrics().horizontalAdvance(QString::fromLatin1(kProgressPaneText)));
    m_pane->setMinimumHeight(m_text->sizeHint().height());
    bar.addPermanentWidget(m_pane);
}

void CStatusLine::ShowText(const QString& message) {
    m_messageUp = true;
    Show(message);
}

void CStatusLine::EndMessage() {
    m_messageUp = false;
    Show(m_state);
}

void CStatusLine::ShowState(const QString& text) {
    m_state = text;
    if (!m_messageUp) {
        Show(m_state);
    }
}

void CStatusLine::Show(const QString& text) {
    const QString shown = text.isEmpty() ? QString::fromUtf8(kIdleText) : text;
    if (m_text->text() != shown) {
        m_text->setText(shown);
    }
}

QString CStatusLine::Text() const {
    return m_text->text();
}

}  // namespace App
