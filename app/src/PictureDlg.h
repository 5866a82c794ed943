// The dialog of 保存截图...: the picture's size (the view's by default) and whether its
// background is transparent.
#pragma once

#include <QDialog>
#include <QSize>
#include <optional>

class QCheckBox;
class QSpinBox;

namespace App {

struct PictureChoice {
    QSize size;
    bool transparent = false;
};

class CPictureDlg final : public QDialog {
    Q_OBJECT
public:
    CPictureDlg(QWidget* owner, QSize proposed);
    PictureChoice Choice() const;

private:
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QCheckBox* m_transparent = nullptr;
};

// The size and background chosen, or nothing when cancelled.
std::optional<PictureChoice> AskPicture(QWidget* owner, QSize proposed);

}  // namespace App
