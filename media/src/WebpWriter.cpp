// Animated WebP through libwebp's animation encoder: lossy pictures, their alpha kept when
// asked, each picture shown for its share of a second.
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>

#include "Writers.h"
#include "base/except.h"
#include "base/file.h"

namespace Media {
namespace {

constexpr float kQuality = 80.0f;
// 0 is the fastest of libwebp's methods, 6 the smallest; 2 keeps an animation of 480 × 480
// pictures within twice the time of drawing them.
constexpr int kMethod = 2;
constexpr int kMillisecond = 1000;

class WebpWriter final : public IMovieWriter {
public:
    WebpWriter(std::string path, const MovieOptions& options)
        : m_path(std::move(path)), m_options(options) {
        WebPAnimEncoderOptions animation;
        if (!WebPAnimEncoderOptionsInit(&animation) || !WebPConfigInit(&m_config)) {
            throw Except(ErrorKind::Unsupported, "libwebp is not the version this was built for");
        }
        animation.anim_params.loop_count = 0;  // for ever
        m_config.quality = kQuality;
        m_config.method = kMethod;
        m_encoder = WebPAnimEncoderNew(options.width, options.height, &animation);
        if (!m_encoder) {
            throw Except(ErrorKind::Unsupported, "libwebp can't make a %dx%d animation",
                         options.width, options.height);
        }
    }
    ~WebpWriter() override { WebPAnimEncoderDelete(m_encoder); }
    WebpWriter(const WebpWriter&) = delete;
    WebpWriter& operator=(const WebpWriter&) = delete;

    void Add(std::span<const uint8_t> rgba) override {
        CheckSize(rgba);
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = m_options.width;
        picture.height = m_options.height;
        if (!WebPPictureImportRGBA(&picture, rgba.data(), m_options.width * 4)) {
            throw std::bad_alloc();
        }
        if (!m_options.alpha) {
            // Opaque pictures tell the encoder so, which skips the alpha plane.
            for (int i = 0; i < picture.width * picture.height; ++i) {
                picture.argb[i] |= 0xFF000000u;
            }
        }
        const bool added = WebPAnimEncoderAdd(m_encoder, &picture, Timestamp(m_added), &m_config);
        WebPPictureFree(&picture);
        if (!added) {
            Fail("adding a picture");
        }
        ++m_added;
    }

    void Finish() override {
        if (!WebPAnimEncoderAdd(m_encoder, nullptr, Timestamp(m_added), nullptr)) {
            Fail("ending the animation");
        }
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAssemble(m_encoder, &data)) {
            Fail("assembling the file");
        }
        try {
            Base::WriteWholeFile(m_path, {data.bytes, data.size});
        } catch (...) {
            WebPDataClear(&data);
            throw;
        }
        WebPDataClear(&data);
    }

private:
    void CheckSize(std::span<const uint8_t> rgba) const {
        if (rgba.size() != std::size_t(m_options.width) * m_options.height * 4) {
            throw Except(ErrorKind::Input, "a picture of the wrong size for %dx%d", m_options.width,
                         m_options.height);
        }
    }
    // Milliseconds from the start, rounded each, so that the delays add up to the rate.
    int Timestamp(int picture) const {
        return static_cast<int>(std::lround(double(picture) * kMillisecond / m_options.fps));
    }
    [[noreturn]] void Fail(const char* what) const {
        throw Except(ErrorKind::Unsupported, "libwebp failed %s: %s", what,
                     WebPAnimEncoderGetError(m_encoder));
    }

    std::string m_path;
    MovieOptions m_options;
    WebPConfig m_config{};
    WebPAnimEncoder* m_encoder = nullptr;
    int m_added = 0;
};

}  // namespace

std::unique_ptr<IMovieWriter> CreateWebpWriter(const std::string& path,
                                               const MovieOptions& options) {
    return std::make_unique<WebpWriter>(path, options);
}

}  // namespace Media
