// Pictures of the view: 保存截图... at a chosen size and background, 复制图片 to the
// clipboard, and 导出动画... of the playing animation as GIF, WebP or video.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QProgressDialog>

#include "AnimationBar.h"
#include "Dialogs.h"
#include "GlView.h"
#include "MainFrame.h"
#include "PictureDlg.h"
#include "Settings.h"
#include "StatusLine.h"
#include "base/file.h"
#include "base/text.h"
#include "media/media.h"
#include "model/model.h"

namespace App {

namespace {

// The viewer plays 60 animation frames a second; a GIF keeps 50 of them.
constexpr int kAnimationRate = 60;

// The model's name and when it was taken ("hero 2026-12-07 20.15.03.png").
QString ProposedName(const std::vector<PakMgr::ITreeNode*>& skins, const char* fallback,
                     const QString& ending) {
    const QString model =
        skins.empty() ? QString::fromLatin1(fallback)
                      : QFileInfo(QString::fromStdString(Base::GbkToUtf8(skins.front()->Name())))
                            .completeBaseName();
    return model + QDateTime::currentDateTime().toString(QStringLiteral(" yyyy-MM-dd hh.mm.ss")) +
           ending;
}

bool WritePng(const QImage& picture, const QString& path) {
    QByteArray png;
    QBuffer buffer(&png);
    const bool encoded = buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG");
    const std::span<const uint8_t> pieces[] = {
        {reinterpret_cast<const uint8_t*>(png.constData()), static_cast<std::size_t>(png.size())}};
    return !picture.isNull() && encoded &&
           Base::TryWriteWholeFile(path.toStdString().c_str(), pieces) == 0;
}

std::span<const uint8_t> Pixels(const QImage& rgba) {
    return {rgba.constBits(), static_cast<std::size_t>(rgba.sizeInBytes())};
}

}  // namespace

// The view's scene at the size asked (its own by default), opaque or transparent.
void CVellModelBrowserMainFrame::OnSaveScreenshot() {
    const QSize shown(m_view->Core().m_nWidth, m_view->Core().m_nHeight);
    const std::optional<PictureChoice> choice = AskPicture(this, shown);
    if (!choice) {
        return;
    }
    const QString path =
        PickSaveFileFor(this, kScreenshotKind, QStringLiteral("PNG (*.png)"), QStringLiteral("png"),
                        ProposedName(m_loadedSkins, "screenshot", QStringLiteral(".png")));
    if (path.isEmpty()) {
        return;
    }
    const QImage picture = choice->size == shown && !choice->transparent
                               ? m_view->Picture()
                               : m_view->PictureAt(choice->size, choice->transparent);
    if (!WritePng(picture, path)) {
        ShowInfo(this, QStringLiteral("can't write ") + path);
        return;
    }
    m_status->ShowText(path);
}

void CVellModelBrowserMainFrame::OnCopyPicture() {
    const QImage picture = m_view->Picture();
    if (picture.isNull()) {
        return;
    }
    QApplication::clipboard()->setImage(picture);
    m_status->ShowText(tr("图片已复制"));
}

// Every frame of the playing animation as the view shows it, written only when the last is
// in; 取消 leaves nothing behind.
void CVellModelBrowserMainFrame::OnExportMovie() {
    const int selection = m_bar->List()->currentIndex();
    const unsigned count = m_model->GetFrameCount(selection < 0 ? 0u : unsigned(selection));
    if (count == 0) {
        ShowInfo(this, tr("请先选择要导出的动画"));
        return;
    }
    const QString path = PickSaveFileFor(
        this, kMovieKind, tr("动画 (*.gif *.webp *.mp4 *.webm)"), QStringLiteral("gif"),
        ProposedName(m_loadedSkins, "animation", QStringLiteral(".gif")));
    const auto format = Media::FormatOf(path.toStdString());
    if (path.isEmpty()) {
        return;
    }
    if (!format || !Media::IsMoving(*format)) {
        ShowInfo(this, tr("动画文件的名字以 .gif, .webp, .mp4 或 .webm 结尾"));
        return;
    }
    QSize size(m_view->Core().m_nWidth, m_view->Core().m_nHeight);
    if (Media::WantsEvenSize(*format)) {
        size = QSize(std::max(2, size.width() & ~1), std::max(2, size.height() & ~1));
    }
    if (ExportMovie(*format, path, size, count)) {
        m_status->ShowText(path);
    }
    m_view->Redraw();
}

bool CVellModelBrowserMainFrame::ExportMovie(Media::Format format, const QString& path, QSize size,
                                             unsigned count) {
    QProgressDialog progress(tr("正在导出动画..."), tr("取消"), 0, static_cast<int>(count), this);
    progress.setObjectName(QStringLiteral("movieProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    try {
        auto writer = Media::CreateMovieWriter(format, path.toStdString(),
                                               {.width = size.width(),
                                                .height = size.height(),
                                                .fps = kAnimationRate,
                                                .pictures = count});
        for (unsigned i = 0; i < count; ++i) {
            progress.setValue(static_cast<int>(i));
            QCoreApplication::processEvents();
            if (progress.wasCanceled()) {
                m_status->ShowText(tr("导出已取消"));
                return false;
            }
            m_model->PoseAt(static_cast<float>(i));
            const QImage picture =
                m_view->PictureAt(size, false).convertToFormat(QImage::Format_RGBA8888);
            writer->Add(Pixels(picture));
        }
        progress.setValue(static_cast<int>(count));
        writer->Finish();
    } catch (const Except& e) {
        ShowInfo(this, QString::fromStdString(Base::GbkToUtf8(e.what())));
        return false;
    }
    return true;
}

}  // namespace App
