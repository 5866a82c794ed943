// The status bar's two panes: the prompt text on the left and, for the length of one
// operation, a progress bar (with a cancel button when the operation can stop) on the right.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QStatusBar;
class QToolButton;
class QWidget;

namespace App {

class CStatusLine;

// A progress bar in the second pane for the length of one operation. It is repainted at
// most every 50 ms, so that showing progress never costs more than the work.
class CProgress {
public:
    // `cancel`, when given, shows a cancel button beside the bar that calls it.
    explicit CProgress(CStatusLine& line, std::function<void()> cancel = {});
    ~CProgress();
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;
    void SetRange(int low, int high);
    void SetPosition(int position);
    void Step();

private:
    void Show(bool force);

    CStatusLine& m_line;
    std::unique_ptr<QProgressBar> m_bar;
    std::unique_ptr<QToolButton> m_cancel;
    int m_position = 0;
    qint64 m_lastPaint = -1;
};

class CStatusLine {
public:
    // Adds the panes to `bar`.
    explicit CStatusLine(QStatusBar& bar);
    CStatusLine(const CStatusLine&) = delete;
    CStatusLine& operator=(const CStatusLine&) = delete;

    // The prompt pane follows one rule: a message (of an export or a command) stays up until
    // EndMessage; otherwise the state's text shows ("准备" when empty).
    void ShowText(const QString& message);
    void EndMessage();
    // What the pane shows when no message is up: the playing or held frame, or the counts.
    void ShowState(const QString& text);
    QString Text() const;

    QLabel* IdleText() const { return m_text; }
    QWidget* ProgressPane() const { return m_pane; }
    // The bar of the running operation, or null.
    QProgressBar* Progress() const { return m_progress; }
    QToolButton* CancelButton() const { return m_cancelButton; }

private:
    friend class CProgress;
    void Show(const QString& text);

    QString m_state;
    bool m_messageUp = false;
    QLabel* m_text = nullptr;
    QWidget* m_pane = nullptr;
    QProgressBar* m_progress = nullptr;
    QToolButton* m_cancelButton = nullptr;
};

}  // namespace App
