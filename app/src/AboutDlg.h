// The about box: title and version, credit, build date, contact link and what the GL
// driver of the view reports about itself.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;

namespace App {

class CVellModelBrowserRenderView;
struct GlInfo;

// The GL part of the about box, each line ending in "\r\n".
std::string GlText(const GlInfo& info);
// The build's date and time as the compiler wrote them, two blanks apart.
std::string BuildStamp();

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(QWidget* parent, CVellModelBrowserRenderView& view);

    QString TitleText() const;
    QString DateText() const;
    QString LinkText() const;
    QString GlInfoText() const;

    // OK ends the box with 1, the close box or Escape with 2.
    static constexpr int kOk = 1;
    static constexpr int kClosed = 2;
    void reject() override { done(kClosed); }

private:
    QLabel* m_title = nullptr;       // 1006
    QLabel* m_date = nullptr;        // 1004
    QLabel* m_link = nullptr;        // 1005
    QPlainTextEdit* m_gl = nullptr;  // 1002
};

}  // namespace App
