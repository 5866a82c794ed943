// Frame export: each exported frame of the playing animation posed, drawn by the caller's
// sink, read back and written as a 32-bit BMP.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "base/file.h"
#include "base/text.h"
#include "model/bmp.h"
#include "model/object.h"
#include "model/pose.h"

namespace Model {
namespace {

constexpr uint32_t kBytesPerPixel = 4;
constexpr std::size_t kAlphaByte = 3;  // blue, green, red, alpha
constexpr uint8_t kOpaque = 0xFF;
constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
constexpr uint16_t kPlanes = 1;
constexpr uint32_t kUncompressed = 0;
constexpr int kFrameNameSize = 32;

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The capture of one export: a buffer made once for the sink's size at the start, read
// back with that same size every frame.
class FrameCapture {
public:
    FrameCapture(int width, int height)
        : m_width(std::max(width, 0)),
          m_height(std::max(height, 0)),
          m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height) *
                   kBytesPerPixel) {}

    bool Empty() const { return m_pixels.empty(); }

    // Reads whatever the sink's Render left in the current read buffer, before anything
    // presents it: a back buffer's content after a swap is undefined.
    void Read(IModelRenderer& renderer) {
        renderer.ReadPixels(m_width, m_height, m_pixels);
        // Pictures are opaque whatever alpha the buffer holds (an offscreen buffer keeps the
        // clear colour's 0): viewers that honour a 32-bit picture's alpha show them as drawn.
        for (std::size_t alpha = kAlphaByte; alpha < m_pixels.size(); alpha += kBytesPerPixel) {
            m_pixels[alpha] = kOpaque;
        }
    }

    BmpImage Image() const {
        return {m_width, -m_height, static_cast<uint32_t>(m_pixels.size()), kBytesPerPixel,
                m_pixels.data()};
    }

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_pixels;
};

// "<folder>/<frame, 8 digits at least>.bmp", rebuilt in place each frame.
class FrameNames {
public:
    explicit FrameNames(const std::string& folder) : m_path(folder + "/") {
        m_folderLength = m_path.size();
        m_path.reserve(m_folderLength + kFrameNameSize);
    }

    const char* For(int64_t frame) {
        char name[kFrameNameSize];
        const int length =
            std::snprintf(name, sizeof name, "%.8lld.bmp", static_cast<long long>(frame));
        m_path.resize(m_folderLength);
        m_path.append(name, static_cast<std::size_t>(std::max(length, 0)));
        return m_path.c_str();
    }

private:
    std::string m_path;
    std::size_t m_folderLength = 0;
};

}  // namespace

bool WriteBmp(const char* fileName, const BmpImage& image) {
    if (!fileName || (image.byteCount > 0 && !image.pixels)) {
        return false;
    }
    uint8_t fileHeader[kBmpFileHeaderSize] = {};
    Put16(fileHeader + 0, kBmpSignature);
    Put32(fileHeader + 2, image.byteCount + static_cast<uint32_t>(kBmpHeaderSize));
    Put32(fileHeader + 10, static_cast<uint32_t>(kBmpHeaderSize));
    uint8_t infoHeader[kBmpInfoHeaderSize] = {};
    Put32(infoHeader + 0, static_cast<uint32_t>(kBmpInfoHeaderSize));
    Put32(infoHeader + 4, static_cast<uint32_t>(image.width));
    Put32(infoHeader + 8, static_cast<uint32_t>(-static_cast<int64_t>(image.height)));
    Put16(infoHeader + 12, kPlanes);
    Put16(infoHeader + 14, static_cast<uint16_t>(image.bytesPerPixel * 8));
    Put32(infoHeader + 16, kUncompressed);
    Put32(infoHeader + 20, image.byteCount);

    const std::span<const uint8_t> pieces[] = {
        fileHeader, infoHeader, {image.pixels, image.byteCount}};
    const int error = Base::TryWriteWholeFile(fileName, pieces);
    errno = error;
    return error == 0;
}

bool CVellModel::ExportFrames(const std::string& folder, IAnimate* sink) {
    if (!sink) {
        return true;
    }
    if (!m_renderer) {
        throw Except(ErrorKind::Unsupported, "can't export frames: this program does not draw");
    }
    const unsigned count = ExportFrameCount(m_playback);
    sink->SetProgressRange(0, static_cast<unsigned short>(std::min<unsigned>(
                                  count, std::numeric_limits<unsigned short>::max())));
    FrameCapture capture(sink->GetWidth(), sink->GetHeight());
    FrameNames names(folder);
    m_playback.currentFrame = 0.0f;
    const float last = static_cast<float>(m_playback.lastFrame);
    for (;;) {
        Pose();
        sink->Render();
        const int64_t frame = WholeFrame(m_playback.currentFrame);
        // A view with no pixels writes no picture; one that can't be written ends the
        // export with the picture's name and the reason.
        if (!capture.Empty()) {
            capture.Read(*m_renderer);
            const char* name = names.For(frame);
            if (!WriteBmp(name, capture.Image())) {
                const int error = errno;
                m_playback.currentFrame = 0.0f;
                // Messages quote names in code page 936, as the loaders' do.
                throw Except(ErrorKind::Io, "can't write %s: %s", Base::Utf8ToGbk(name).c_str(),
                             std::strerror(error));
            }
        }
        sink->StepProgress();
        if (frame == m_playback.lastFrame) {
            break;
        }
        const float next = std::min(m_playback.currentFrame + m_playback.frameStep, last);
        // The same end as the frame count's: a float frame that stops moving ends it.
        if (next == m_playback.currentFrame) {
            break;
        }
        m_playback.currentFrame = next;
    }
    m_playback.currentFrame = 0.0f;
    return true;
}

}  // namespace Model
