// Pictures of many skins for the gallery, made off the window's thread: each worker draws in
// a windowless GL context and a model object of its own (Picture::Render, the picture
// `vell render` makes), one skin after another. Every picture is kept in a disk cache keyed
// by the stored bytes of the skin, its mesh and its textures and the picture's size, so an
// unchanged game shows again without drawing, and a changed file gets a new picture.
#pragma once

#include <QImage>
#include <QString>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Base {
class Workers;
}
namespace PakMgr {
struct ITreeNode;
}

namespace App {

inline constexpr int kThumbnailSize = 128;
inline constexpr int kMinThumbnailSize = 64;
inline constexpr int kMaxThumbnailSize = 256;
// A cached picture takes at most this many bytes: lossless WebP when it fits, else lossy.
inline constexpr std::size_t kMostThumbnailBytes = 24u << 10;

// The cache's folder: "thumbnails" in the program's folder of the XDG cache.
QString ThumbnailCacheFolder();

// What the cache knows a skin's picture by: a digest of the picture's size, the stored bytes
// of the skin, of the mesh it names and of every texture it names (and which were missing).
// Throws Except when the skin can't be read.
std::string ThumbnailKey(PakMgr::ITreeNode* skin, int size);

// The picture as the cache holds it (lossless WebP, or lossy past kMostThumbnailBytes), and
// back; a null image when the bytes don't decode.
std::vector<uint8_t> EncodeThumbnail(const QImage& picture);
QImage DecodeThumbnail(const std::vector<uint8_t>& bytes);

struct Thumbnail {
    std::size_t index = 0;  // in the job's list of skins
    QImage picture;         // null when the skin can't be drawn
    QString error;          // then why
    bool fromCache = false;
};

class CThumbnailJob {
public:
    // `skins` stay valid for the job's life (the window cancels it before the tree goes).
    CThumbnailJob(std::vector<PakMgr::ITreeNode*> skins, int size, QString cacheFolder);
    // Cancels and waits for the pictures under way. After Help, on the helping thread with no
    // GL context of the window current.
    ~CThumbnailJob();
    CThumbnailJob(const CThumbnailJob&) = delete;
    CThumbnailJob& operator=(const CThumbnailJob&) = delete;

    // Starts one worker per core but one (at least one); where the system makes none, Help
    // does the work.
    void Start();
    // No picture begins from now on; those under way finish.
    void Cancel();
    bool Cancelled() const { return m_cancelled; }
    // True when no worker could be made: the window calls Help between its events.
    bool NeedsHelp() const;
    // Makes one picture on the calling thread, leaving no GL context current there (the
    // window makes its own current again); false when none is left. The window's own GL
    // context must not be current: a thread has one window system's context at a time.
    bool Help();
    // Every picture is made (or the job was cancelled and nothing runs).
    bool Finished() const;
    // The pictures made since the last call.
    std::vector<Thumbnail> Take();
    std::size_t Count() const { return m_skins.size(); }
    // How many were drawn and how many came from the cache.
    std::size_t Drawn() const { return m_drawn; }
    std::size_t FromCache() const { return m_fromCache; }

private:
    class Painter;
    // A worker's life: a context and a model of its own, then skins until none is left.
    void Lane();
    bool Next(std::size_t& index);
    Thumbnail Make(Painter& painter, std::size_t index);

    const std::vector<PakMgr::ITreeNode*> m_skins;
    const int m_size;
    const QString m_cacheFolder;
    std::atomic<std::size_t> m_next{0};
    std::atomic<std::size_t> m_ended{0};
    std::atomic<std::size_t> m_drawn{0};
    std::atomic<std::size_t> m_fromCache{0};
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::vector<Thumbnail> m_made;
    std::unique_ptr<Painter> m_own;  // the window's, when it helps
    std::unique_ptr<Base::Workers> m_workers;
};

}  // namespace App
