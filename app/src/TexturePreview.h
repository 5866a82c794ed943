// The texture preview: a window showing a DDS file decoded by the software decoder, at its
// own size (scaled down to fit the screen), over a checkerboard where it is transparent.
#pragma once

#include <QDialog>
#include <QImage>

class QWidget;

namespace PakMgr {
struct ITreeNode;
}

namespace Dds {
struct DdsImage;
}

namespace App {

class CTexturePreview final : public QDialog {
    Q_OBJECT
public:
    // `rgba` is 8-bit RGBA, top row first; `title` names the file, its size and format.
    CTexturePreview(QWidget* owner, const QImage& rgba, const QString& title);
    // The picture as shown, checkerboard included.
    const QImage& Shown() const { return m_shown; }

private:
    QImage m_shown;
};

// Opens a preview window for the node, or says why the texture can't be shown.
void ShowTexturePreview(QWidget* owner, PakMgr::ITreeNode* node);
// Opens a preview window for a texture already read; `name` titles it.
void ShowTexturePreview(QWidget* owner, const Dds::DdsImage& image, const QString& name);

}  // namespace App
