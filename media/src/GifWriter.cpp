// Animated GIF through FFmpeg: one palette of 256 colours made from every picture of the
// animation (palettegen), each picture mapped to it with ordered dithering (paletteuse),
// which keeps runs of one colour that GIF's compression packs well, then only the changed
// rectangle of each picture stored.
extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "FfmpegOutput.h"
#include "Writers.h"
#include "base/except.h"

namespace Media {
namespace {

constexpr int kCentiseconds = 100;
// Players stretch a delay of less than 2 hundredths to 10.
constexpr int kShortestDelay = 2;

struct GraphFree {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};

// Below half coverage a pixel is transparent; the palette keeps an entry for it.
std::string FilterChain(bool alpha) {
    char chain[256];
    std::snprintf(chain, sizeof chain,
                  "split[a][b];[a]palettegen=stats_mode=full:reserve_transparent=%d[p];"
                  "[b][p]paletteuse=dither=bayer:bayer_scale=3:diff_mode=rectangle:"
                  "alpha_threshold=128",
                  alpha ? 1 : 0);
    return chain;
}

class GifWriter final : public IMovieWriter {
public:
    GifWriter(const std::string& path, const MovieOptions& options)
        : m_output(path, "gif"),
          m_codec(OpenableCodec("gif", AV_CODEC_ID_GIF, "GIF")),
          m_options(options),
          m_delay(std::max(kShortestDelay,
                           static_cast<int>(std::lround(double(kCentiseconds) / options.fps)))) {
        MakeGraph();
        AVCodecContext& c = *m_codec;
        c.width = options.width;
        c.height = options.height;
        c.pix_fmt = AV_PIX_FMT_PAL8;
        c.time_base = AVRational{1, kCentiseconds};
        Check(avcodec_open2(&c, c.codec, nullptr), "opening the GIF encoder");
        m_output.Begin(c, m_delay);
    }

    void Add(std::span<const uint8_t> rgba) override {
        const std::size_t bytes = std::size_t(m_options.width) * m_options.height * 4;
        if (rgba.size() != bytes) {
            throw Except(ErrorKind::Input, "a picture of the wrong size for %dx%d", m_options.width,
                         m_options.height);
        }
        Frame frame = MakeFrame(m_options.width, m_options.height, AV_PIX_FMT_RGBA);
        for (int row = 0; row < m_options.height; ++row) {
            std::memcpy(frame->data[0] + std::ptrdiff_t(row) * frame->linesize[0],
                        rgba.data() + std::size_t(row) * m_options.width * 4,
                        std::size_t(m_options.width) * 4);
        }
        frame->pts = m_pictures++ * m_delay;
        Check(av_buffersrc_add_frame(m_source, frame.get()), "queueing a picture");
    }

    // The palette exists only once every picture is in: they come out of the graph now.
    void Finish() override {
        Check(av_buffersrc_add_frame(m_source, nullptr), "ending the pictures");
        Frame mapped(av_frame_alloc());
        if (!mapped) {
            throw std::bad_alloc();
        }
        for (;;) {
            const int got = av_buffersink_get_frame(m_sink, mapped.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
                break;
            }
            Check(got, "mapping a picture to the palette");
            m_output.Encode(*m_codec, mapped.get());
            av_frame_unref(mapped.get());
        }
        m_output.Encode(*m_codec, nullptr);
        m_output.End();
    }

private:
    void MakeGraph() {
        m_graph.reset(avfilter_graph_alloc());
        if (!m_graph) {
            throw std::bad_alloc();
        }
        char source[160];
        std::snprintf(
            source, sizeof source, "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1",
            m_options.width, m_options.height, static_cast<int>(AV_PIX_FMT_RGBA), kCentiseconds);
        Check(avfilter_graph_create_filter(&m_source, avfilter_get_by_name("buffer"), "in", source,
                                           nullptr, m_graph.get()),
              "making the palette's filters");
        Check(avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out",
                                           nullptr, nullptr, m_graph.get()),
              "making the palette's filters");
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        if (!outputs || !inputs) {
            avfilter_inout_free(&outputs);
            avfilter_inout_free(&inputs);
            throw std::bad_alloc();
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = m_source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = m_sink;
        const int parsed = avfilter_graph_parse_ptr(
            m_graph.get(), FilterChain(m_options.alpha).c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        Check(parsed, "making the palette's filters");
        Check(avfilter_graph_config(m_graph.get(), nullptr), "joining the palette's filters");
    }

    FfmpegOutput m_output;
    Codec m_codec;
    MovieOptions m_options;
    int m_delay;
    std::unique_ptr<AVFilterGraph, GraphFree> m_graph;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
    int64_t m_pictures = 0;
};

}  // namespace

std::unique_ptr<IMovieWriter> CreateGifWriter(const std::string& path,
                                              const MovieOptions& options) {
    const uint64_t held = uint64_t(options.width) * uint64_t(options.height) * 4 * options.pictures;
    if (held > kMaxHeldBytes) {
        throw Except(ErrorKind::Input,
                     "a GIF of %u pictures of %dx%d would hold %llu MiB before its palette; "
                     "choose a smaller size or a video",
                     options.pictures, options.width, options.height,
                     static_cast<unsigned long long>(held >> 20));
    }
    return std::make_unique<GifWriter>(path, options);
}

}  // namespace Media
