#include "Thumbnails.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QStandardPaths>

#include "base/except.h"
#include "base/file.h"
#include "base/parallel.h"
#include "base/text.h"
#include "glcontext/glcontext.h"
#include "media/media.h"
#include "model/model.h"
#include "model/records.h"
#include "pakmgr/pakmgr.h"
#include "picture/picture.h"
#include "view/view.h"

namespace App {

namespace {

// Changes whenever the pictures would: a new way of drawing makes every key new.
constexpr const char* kKeyVersion = "vell-thumbnail-1";
// Below the window (0), above what the system runs when idle (19).
constexpr int kWorkerNiceness = 10;
// A cache file larger than any picture it could hold is not read.
constexpr qint64 kMostCacheFileBytes = qint64{kMaxThumbnailSize} * kMaxThumbnailSize * 4;

QString FromGbk(std::string_view text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

// The nodes whose bytes decide a skin's picture: the skin, its mesh, its textures, found as
// the model finds them (null for one missing).
std::vector<PakMgr::ITreeNode*> PictureSources(PakMgr::ITreeNode* skinNode) {
    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    const std::unique_ptr<PakMgr::IRead> reader = mgr.LoadFile(skinNode);
    if (!reader || reader->IsEmpty()) {
        throw Except(ErrorKind::Io, "can't read .skn file: %s", skinNode->GetName().c_str());
    }
    Model::Skin skin;
    Model::ReadSkin(skin, *reader, nullptr);
    PakMgr::ITreeNode* folder = skinNode->GetParent();
    std::vector<PakMgr::ITreeNode*> nodes = {skinNode};
    nodes.push_back(folder ? folder->FindChild(Base::LowerAscii(skin.meshName)) : nullptr);
    for (const Model::Material& m : skin.materials) {
        for (const std::string* name :
             {&m.diffuseTexName, &m.maskTexName, &m.tattooTexName, &m.emissiveTexName}) {
            if (!name->empty()) {
                nodes.push_back(folder ? folder->FindNode(*name) : nullptr);
            }
        }
    }
    return nodes;
}

QByteArray ReadCacheFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMostCacheFileBytes) {
        return {};
    }
    return file.readAll();
}

}  // namespace

QString ThumbnailCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/thumbnails");
}

std::string ThumbnailKey(PakMgr::ITreeNode* skin, int size) {
    const std::vector<PakMgr::ITreeNode*> nodes = PictureSources(skin);
    std::vector<uint32_t> indices;
    QCryptographicHash digest(QCryptographicHash::Sha1);
    digest.addData(QByteArray(kKeyVersion) + ' ' + QByteArray::number(size));
    for (PakMgr::ITreeNode* node : nodes) {
        const bool present = node && node->GetIndex() >= 0;
        digest.addData(QByteArrayView(present ? "+" : "-"));
        if (present) {
            indices.push_back(static_cast<uint32_t>(node->GetIndex()));
        }
    }
    // Each file's stored bytes, in the order asked, with their lengths between.
    std::vector<QByteArray> stored(indices.size());
    PakMgr::GetPakMgr()->LoadStoredEntries(
        indices, [&](std::size_t position, bool ok, const std::vector<uint8_t>& bytes) {
            stored[position] = ok ? QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qsizetype>(bytes.size()))
                                  : QByteArray("unreadable");
        });
    for (const QByteArray& bytes : stored) {
        digest.addData(QByteArray::number(bytes.size()) + ':');
        digest.addData(bytes);
    }
    return digest.result().toHex().toStdString();
}

std::vector<uint8_t> EncodeThumbnail(const QImage& picture) {
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    const std::span<const uint8_t> pixels(rgba.constBits(),
                                          static_cast<std::size_t>(rgba.sizeInBytes()));
    return Media::EncodeWebpPicture(rgba.width(), rgba.height(), pixels, kMostThumbnailBytes);
}

QImage DecodeThumbnail(const std::vector<uint8_t>& bytes) {
    Media::WebpPicture picture;
    if (!Media::DecodeWebpPicture(bytes, kMaxThumbnailSize, picture)) {
        return {};
    }
    return QImage(picture.rgba.data(), picture.width, picture.height, qsizetype{picture.width} * 4,
                  QImage::Format_RGBA8888)
        .copy();
}

// One worker's context and model: made at its first picture, put away on its own thread.
class CThumbnailJob::Painter {
public:
    // `shared`: on a thread that draws in other contexts too, left with none current.
    Painter(int size, bool shared) : m_size(size), m_shared(shared) {}
    ~Painter() {
        // The model's textures go in the context that made them.
        if (m_context && m_context->MakeCurrent()) {
            m_model.reset();
        }
    }

    // Draws, and on a shared thread leaves no context current, whatever happened.
    QImage Draw(PakMgr::ITreeNode* skin) {
        try {
            QImage picture = DrawCurrent(skin);
            Done();
            return picture;
        } catch (...) {
            Done();
            throw;
        }
    }

private:
    void Done() {
        if (m_shared && m_context) {
            m_context->DoneCurrent();
        }
    }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    QImage DrawCurrent(PakMgr::ITreeNode* skin) {
        if (!m_context) {
            std::string error;
            m_context = GlContext::Headless::Create(m_size, m_size, &error);
            if (!m_context) {
                throw Except(ErrorKind::Unsupported, "no GL context for pictures: %s",
                             error.c_str());
            }
            m_model = View::CreateModel();
        }
        if (!m_context->MakeCurrent()) {
            throw Except(ErrorKind::Unsupported, "can't make the picture's GL context current");
        }
        m_model->Load(skin);
        const Picture::Image image =
            Picture::Render(*m_context, *m_model, {.width = m_size, .height = m_size});
        return QImage(image.rgba.data(), image.width, image.height, qsizetype{image.width} * 4,
                      QImage::Format_RGBA8888)
            .copy();
    }

    const int m_size;
    const bool m_shared;
    std::unique_ptr<GlContext::Headless> m_context;
    std::unique_ptr<Model::IVellModel> m_model;  // goes first, its context current
};

CThumbnailJob::CThumbnailJob(std::vector<PakMgr::ITreeNode*> skins, int size, QString cacheFolder)
    : m_skins(std::move(skins)), m_size(size), m_cacheFolder(std::move(cacheFolder)) {}

CThumbnailJob::~CThumbnailJob() {
    Cancel();
    m_workers.reset();
    m_own.reset();
}

void CThumbnailJob::Start() {
    // One core is left to the window: workers on every core kept it from its events for
    // 80 ms at a time on two cores, while one picture takes a few milliseconds.
    const unsigned cores = Base::DefaultWorkers();
    const std::size_t lanes = std::min<std::size_t>(cores > 1 ? cores - 1 : 1, m_skins.size());
    m_workers = std::make_unique<Base::Workers>(lanes, static_cast<unsigned>(lanes),
                                                [this](std::size_t) { Lane(); });
}

void CThumbnailJob::Cancel() {
    m_cancelled = true;
    if (m_workers) {
        m_workers->Stop();
    }
}

bool CThumbnailJob::NeedsHelp() const {
    return m_workers && m_workers->Threads() == 0;
}

bool CThumbnailJob::Next(std::size_t& index) {
    if (m_cancelled) {
        return false;
    }
    index = m_next++;
    return index < m_skins.size();
}

void CThumbnailJob::Lane() {
    // The window's thread wins a core over the drawing: the worker and the threads its GL
    // driver starts for it (llvmpipe's rasterizers, made with the context) run at a lower
    // priority, which they inherit. Failing that, they run as they are.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNiceness);
    Painter painter(m_size, false);
    for (std::size_t index = 0; Next(index);) {
        Thumbnail made = Make(painter, index);
        const std::lock_guard lock(m_mutex);
        m_made.push_back(std::move(made));
    }
}

bool CThumbnailJob::Help() {
    std::size_t index = 0;
    if (!Next(index)) {
        return false;
    }
    if (!m_own) {
        m_own = std::make_unique<Painter>(m_size, true);
    }
    Thumbnail made = Make(*m_own, index);
    const std::lock_guard lock(m_mutex);
    m_made.push_back(std::move(made));
    return true;
}

Thumbnail CThumbnailJob::Make(Painter& painter, std::size_t index) {
    Thumbnail made;
    made.index = index;
    PakMgr::ITreeNode* skin = m_skins[index];
    try {
        const QString file = m_cacheFolder + QLatin1Char('/') +
                             QString::fromStdString(ThumbnailKey(skin, m_size)) +
                             QStringLiteral(".webp");
        const QByteArray cached = ReadCacheFile(file);
        if (!cached.isEmpty()) {
            made.picture = DecodeThumbnail({cached.begin(), cached.end()});
            if (made.picture.size() == QSize(m_size, m_size)) {
                made.fromCache = true;
                ++m_fromCache;
                ++m_ended;
                return made;
            }
        }
        made.picture = painter.Draw(skin);
        ++m_drawn;
        // A cache that can't be written only costs drawing again next time.
        const std::vector<uint8_t> bytes = EncodeThumbnail(made.picture);
        const std::span<const uint8_t> pieces[] = {bytes};
        (void)Base::TryWriteWholeFile(file.toStdString().c_str(), pieces);
    } catch (...) {
        made.picture = QImage();
        made.error = FromGbk(Base::Describe(std::current_exception()));
    }
    ++m_ended;
    return made;
}

bool CThumbnailJob::Finished() const {
    if (m_ended == m_skins.size()) {
        return true;
    }
    // Cancelled: once the workers are done with the pictures under way.
    return m_cancelled && (!m_workers || NeedsHelp() || m_workers->Finished());
}

std::vector<Thumbnail> CThumbnailJob::Take() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_made, {});
}

}  // namespace App
