#include "TexturePreview.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "base/text.h"
#include "dds/dds.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr int kCheckerSquare = 8;
constexpr double kScreenShare = 0.8;  // the largest part of the screen a preview takes

QImage Checkerboard(QSize size) {
    QImage board(size, QImage::Format_RGB32);
    QPainter painter(&board);
    for (int y = 0; y < size.height(); y += kCheckerSquare) {
        for (int x = 0; x < size.width(); x += kCheckerSquare) {
            const bool light = ((x + y) / kCheckerSquare) % 2 == 0;
            painter.fillRect(x, y, kCheckerSquare, kCheckerSquare,
                             light ? QColor(0xCC, 0xCC, 0xCC) : QColor(0x99, 0x99, 0x99));
        }
    }
    return board;
}

QSize FittingSize(QSize size) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return size;
    }
    const QSize room = screen->availableGeometry().size() * kScreenShare;
    return size.width() <= room.width() && size.height() <= room.height()
               ? size
               : size.scaled(room, Qt::KeepAspectRatio);
}

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

}  // namespace

CTexturePreview::CTexturePreview(QWidget* owner, const QImage& rgba, const QString& title)
    : QDialog(owner) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    const QSize size = FittingSize(rgba.size());
    m_shown = Checkerboard(size);
    QPainter painter(&m_shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), rgba);
    painter.end();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(this);
    label->setPixmap(QPixmap::fromImage(m_shown));
    layout->addWidget(label);
}

void ShowTexturePreview(QWidget* owner, PakMgr::ITreeNode* node) {
    const QString name = FromGbk(node->Name());
    try {
        const std::unique_ptr<PakMgr::IRead> reader = PakMgr::GetPakMgr()->LoadFile(node);
        if (!reader) {
            ShowInfo(owner, QStringLiteral("can't read ") + name);
            return;
        }
        ShowTexturePreview(owner, Dds::ParseDds(*reader, true), name);
    } catch (const Except& e) {
        ShowInfo(owner, name + QStringLiteral(": ") + FromGbk(e.what()));
    }
}

void ShowTexturePreview(QWidget* owner, const Dds::DdsImage& image, const QString& name) {
    const std::vector<uint8_t> rgba = Dds::DecodeToRgba(image);
    const int width = static_cast<int>(image.info.width);
    const int height = static_cast<int>(image.info.height);
    const QImage picture =
        QImage(rgba.data(), width, height, qsizetype{width} * 4, QImage::Format_RGBA8888).copy();
    const QString title = QStringLiteral("%1 - %2 x %3 %4")
                              .arg(name)
                              .arg(width)
                              .arg(height)
                              .arg(QLatin1String(Dds::KindName(image.info.kind)));
    auto* preview = new CTexturePreview(owner, picture, title);
    preview->show();
}

}  // namespace App
