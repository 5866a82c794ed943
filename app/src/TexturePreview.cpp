#include "TexturePreview.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "Dialogs.h"
#include "Settings.h"
#include "base/except.h"
#include "base/text.h"
#include "dds/dds.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr int kCheckerSquare = 8;
constexpr double kScreenShare = 0.8;  // the largest part of the screen a preview takes
constexpr int kWheelNotch = 120;      // QWheelEvent's angle of one notch
// The picture shown is at most this many pixels a side, however far it is zoomed.
constexpr int kMostShownSide = 16384;
constexpr int kGreyBase = 0x99;
constexpr int kGreyLight = 0xCC;

QPixmap CheckerTile() {
    QPixmap tile(2 * kCheckerSquare, 2 * kCheckerSquare);
    tile.fill(QColor(kGreyLight, kGreyLight, kGreyLight));
    QPainter painter(&tile);
    const QColor dark(kGreyBase, kGreyBase, kGreyBase);
    painter.fillRect(kCheckerSquare, 0, kCheckerSquare, kCheckerSquare, dark);
    painter.fillRect(0, kCheckerSquare, kCheckerSquare, kCheckerSquare, dark);
    return tile;
}

// The zoom at which `size` fits into `room`.
double FittingZoom(QSize size, QSize room) {
    return std::min(double(room.width()) / size.width(), double(room.height()) / size.height());
}

// Converted once to the painter's own format, so that a repaint only scales.
QImage Drawable(const QImage& picture) {
    return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

}  // namespace

QImage ChannelPicture(const QImage& rgba, CTexturePreview::Channel channel) {
    using Channel = CTexturePreview::Channel;
    if (channel == Channel::Colour) {
        return rgba;
    }
    const std::size_t byte = channel == Channel::Red     ? 0
                             : channel == Channel::Green ? 1
                             : channel == Channel::Blue  ? 2
                                                         : 3;
    QImage grey(rgba.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar* from = rgba.constScanLine(y);
        uchar* to = grey.scanLine(y);
        const auto width = static_cast<std::size_t>(rgba.width());
        for (std::size_t at = 0; at < 4 * width; at += 4) {
            const uchar value = from[at + byte];
            to[at] = to[at + 1] = to[at + 2] = value;
            to[at + 3] = 0xFF;
        }
    }
    return grey;
}

// The picture at the zoom, over the checkerboard; only the part in sight is painted.
class CTexturePreview::Canvas final : public QWidget {
public:
    Canvas(QWidget* parent, const CTexturePreview& owner)
        : QWidget(parent), m_owner(owner), m_board(CheckerTile()) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), QBrush(m_board));
        // Texels are squares when enlarged; a reduced picture is smoothed.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, m_owner.m_zoom < 1);
        painter.drawImage(rect(), m_owner.m_picture);
    }

private:
    const CTexturePreview& m_owner;
    QPixmap m_board;
};

CTexturePreview::CTexturePreview(QWidget* owner, const QImage& rgba, const QString& name,
                                 const QString& title)
    : QDialog(owner),
      m_rgba(rgba.convertToFormat(QImage::Format_RGBA8888)),
      m_picture(Drawable(m_rgba)),
      m_name(name) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(2, 2, 2, 2);
    const auto button = [&](const char* objectName, bool checkable) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(objectName));
        b->setCheckable(checkable);
        b->setAutoRaise(true);
        tools->addWidget(b);
        return b;
    };
    m_fit = button("fit", false);
    m_actual = button("actualSize", false);
    m_zoomText = new QLabel(this);
    m_zoomText->setObjectName(QStringLiteral("zoom"));
    tools->addWidget(m_zoomText);
    tools->addSpacing(12);
    auto* group = new QButtonGroup(this);
    const char* names[] = {"colour", "alpha", "red", "green", "blue"};
    for (int c = 0; c < 5; ++c) {
        m_channels[c] = button(names[c], true);
        group->addButton(m_channels[c], c);
    }
    m_channels[0]->setChecked(true);
    tools->addStretch(1);
    m_save = button("savePng", false);
    layout->addLayout(tools);
    connect(m_fit, &QAbstractButton::clicked, this, &CTexturePreview::FitToWindow);
    connect(m_actual, &QAbstractButton::clicked, this, [this] { SetZoom(1); });
    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { SetChannel(static_cast<Channel>(id)); });
    connect(m_save, &QAbstractButton::clicked, this, &CTexturePreview::SaveAsPng);

    m_area = new QScrollArea(this);
    m_area->setAlignment(Qt::AlignCenter);
    m_area->setFrameShape(QFrame::NoFrame);
    m_canvas = new Canvas(m_area, *this);
    m_area->setWidget(m_canvas);
    m_area->viewport()->installEventFilter(this);
    layout->addWidget(m_area, 1);

    // At its own size, unless that is larger than most of the screen.
    double zoom = 1;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        zoom = std::min(
            1.0, FittingZoom(rgba.size(), screen->availableGeometry().size() * kScreenShare));
    }
    Retranslate();
    SetZoom(zoom);
    m_area->setMinimumSize(m_canvas->size().boundedTo(QSize(kMostShownSide, kMostShownSide)));
    adjustSize();
    m_area->setMinimumSize(0, 0);
}

void CTexturePreview::Retranslate() {
    m_fit->setText(tr("适合"));
    m_fit->setToolTip(tr("缩放到窗口大小"));
    m_actual->setText(QStringLiteral("1:1"));
    m_actual->setToolTip(tr("每个纹素一个像素"));
    m_channels[0]->setText(tr("颜色"));
    m_channels[1]->setText(tr("仅Alpha"));
    m_channels[2]->setText(QStringLiteral("R"));
    m_channels[3]->setText(QStringLiteral("G"));
    m_channels[4]->setText(QStringLiteral("B"));
    m_save->setText(tr("另存为PNG"));
    ShowZoom();
}

void CTexturePreview::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QDialog::changeEvent(event);
}

QAbstractButton* CTexturePreview::ChannelButton(Channel channel) const {
    return m_channels[static_cast<int>(channel)];
}

void CTexturePreview::ShowZoom() {
    m_zoomText->setText(QStringLiteral("%1%").arg(std::lround(m_zoom * 100)));
}

void CTexturePreview::SetZoom(double zoom) {
    const int side = std::max(m_rgba.width(), m_rgba.height());
    const double most = std::min(kMaxZoom, double(kMostShownSide) / std::max(side, 1));
    m_zoom = std::clamp(zoom, std::min(kMinZoom, most), most);
    const QSize shown(std::max(1, int(std::lround(m_rgba.width() * m_zoom))),
                      std::max(1, int(std::lround(m_rgba.height() * m_zoom))));
    m_canvas->resize(shown);
    m_canvas->update();
    ShowZoom();
}

void CTexturePreview::FitToWindow() {
    SetZoom(FittingZoom(m_rgba.size(), m_area->viewport()->size()));
}

void CTexturePreview::SetChannel(Channel channel) {
    m_channel = channel;
    m_picture = Drawable(ChannelPicture(m_rgba, channel));
    ChannelButton(channel)->setChecked(true);
    m_canvas->update();
}

QImage CTexturePreview::Shown() const {
    return m_canvas->grab().toImage();
}

bool CTexturePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_area->viewport() && event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0) {
            SetZoom(m_zoom * std::pow(kZoomStep, double(delta) / kWheelNotch));
        }
        return true;  // the wheel zooms here; it never scrolls
    }
    return QDialog::eventFilter(watched, event);
}

void CTexturePreview::SaveAsPng() {
    const QString path =
        PickSaveFileFor(this, kTextureKind, QStringLiteral("PNG (*.png)"), QStringLiteral("png"),
                        QFileInfo(m_name).completeBaseName() + QStringLiteral(".png"));
    if (path.isEmpty()) {
        return;
    }
    const auto* bytes = m_rgba.constBits();
    const std::span<const uint8_t> rgba(bytes, static_cast<std::size_t>(m_rgba.sizeInBytes()));
    try {
        Dds::WritePng(path.toStdString(), static_cast<uint32_t>(m_rgba.width()),
                      static_cast<uint32_t>(m_rgba.height()), rgba);
    } catch (const Except& e) {
        ShowInfo(this, FromGbk(e.what()));
    }
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
    auto* preview = new CTexturePreview(owner, picture, name, title);
    preview->show();
}

}  // namespace App
