// MP4 (H.264) and WebM (VP9) through FFmpeg: each RGBA picture converted to 4:2:0 colour
// and encoded at the picture rate, with the encoders' fast settings.
extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "FfmpegOutput.h"
#include "Writers.h"
#include "base/except.h"

namespace Media {
namespace {

struct VideoKind {
    const char* muxer;
    const char* encoder;
    AVCodecID id;
    const char* name;
    // Private options of the named encoder, "key=value:..." as FFmpeg's option strings go.
    const char* options;
};

// x264's veryfast preset and VP9's real-time mode both encode 480 × 480 faster than the
// pictures are drawn; the quality numbers keep a character's edges clean.
constexpr VideoKind kMp4{"mp4", "libx264", AV_CODEC_ID_H264, "H.264", "preset=veryfast:crf=20"};
constexpr VideoKind kWebm{"webm", "libvpx-vp9", AV_CODEC_ID_VP9, "VP9",
                          "deadline=realtime:cpu-used=8:row-mt=1:crf=30"};
constexpr int kThreads = 2;

struct ScaleFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

class VideoWriter final : public IMovieWriter {
public:
    VideoWriter(const VideoKind& kind, const std::string& path, const MovieOptions& options)
        : m_output(path, kind.muxer),
          m_codec(OpenableCodec(kind.encoder, kind.id, kind.name)),
          m_options(options) {
        AVCodecContext& c = *m_codec;
        c.width = options.width;
        c.height = options.height;
        c.pix_fmt = AV_PIX_FMT_YUV420P;
        c.time_base = AVRational{1, options.fps};
        c.framerate = AVRational{options.fps, 1};
        c.thread_count = kThreads;
        c.gop_size = options.fps * 2;
        c.bit_rate = 0;  // quality alone (crf) sets the size
        if (m_output.WantsGlobalHeader()) {
            c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (std::string_view(c.codec->name) == kind.encoder) {
            Check(av_opt_set_from_string(c.priv_data, kind.options, nullptr, "=", ":"),
                  "setting the encoder's options");
        }
        Check(avcodec_open2(&c, c.codec, nullptr), "opening the encoder");
        m_frame = MakeFrame(options.width, options.height, AV_PIX_FMT_YUV420P);
        m_scale.reset(sws_getContext(options.width, options.height, AV_PIX_FMT_RGBA, options.width,
                                     options.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                     nullptr, nullptr));
        if (!m_scale) {
            throw Except(ErrorKind::Unsupported, "FFmpeg can't convert RGBA to YUV 4:2:0");
        }
        m_output.Begin(c, 1);
    }

    void Add(std::span<const uint8_t> rgba) override {
        if (rgba.size() != std::size_t(m_options.width) * m_options.height * 4) {
            throw Except(ErrorKind::Input, "a picture of the wrong size for %dx%d", m_options.width,
                         m_options.height);
        }
        Check(av_frame_make_writable(m_frame.get()), "reusing a picture's buffer");
        const uint8_t* source[1] = {rgba.data()};
        const int stride[1] = {m_options.width * 4};
        sws_scale(m_scale.get(), source, stride, 0, m_options.height, m_frame->data,
                  m_frame->linesize);
        m_frame->pts = m_pictures++;
        m_output.Encode(*m_codec, m_frame.get());
    }

    void Finish() override {
        m_output.Encode(*m_codec, nullptr);
        m_output.End();
    }

private:
    FfmpegOutput m_output;
    Codec m_codec;
    MovieOptions m_options;
    Frame m_frame;
    std::unique_ptr<SwsContext, ScaleFree> m_scale;
    int64_t m_pictures = 0;
};

}  // namespace

std::unique_ptr<IMovieWriter> CreateVideoWriter(Format format, const std::string& path,
                                                const MovieOptions& options) {
    return std::make_unique<VideoWriter>(format == Format::Mp4 ? kMp4 : kWebm, path, options);
}

}  // namespace Media
