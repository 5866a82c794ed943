// What the FFmpeg writers share: a muxer writing through an atomic file (seeks included,
// which MP4 and WebM make to finish their headers), packets from an encoder, and failures
// as Except.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <exception>
#include <memory>
#include <string>

#include "base/file.h"

namespace Media {

// Throws Except (Unsupported) naming `what` and FFmpeg's reason when `result` is negative.
int Check(int result, const char* what);

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// An encoder of the codec, or of its id when there is none of that name; throws when the
// libraries have neither.
Codec OpenableCodec(const char* name, AVCodecID id, const char* kind);
// A frame of this size and pixel format with its buffers.
Frame MakeFrame(int width, int height, AVPixelFormat format);

class FfmpegOutput {
public:
    // Quiets FFmpeg's own messages; failures come back as Except.
    FfmpegOutput(const std::string& path, const char* muxer);
    ~FfmpegOutput();
    FfmpegOutput(const FfmpegOutput&) = delete;
    FfmpegOutput& operator=(const FfmpegOutput&) = delete;

    // Whether the muxer wants the codec's headers apart (set before opening the codec).
    bool WantsGlobalHeader() const;
    // The one stream, from the opened codec; then the file's header. Each picture lasts
    // `duration` of the codec's time base: the muxers end the stream after the last one's.
    void Begin(const AVCodecContext& codec, int64_t duration);
    // Sends `frame` (null: the end) and writes every packet the encoder gives back.
    void Encode(AVCodecContext& codec, const AVFrame* frame);
    // The trailer, then the file renamed into place.
    void End();

private:
    static int WritePacket(void* opaque, uint8_t* bytes, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    int Call(int result, const char* what);

    Base::AtomicFile m_file;
    uint64_t m_position = 0;
    uint64_t m_size = 0;
    std::exception_ptr m_failure;  // thrown by the file inside FFmpeg's call, thrown again
    AVFormatContext* m_format = nullptr;
    AVIOContext* m_io = nullptr;
    AVStream* m_stream = nullptr;
    int64_t m_duration = 1;
    Packet m_packet;
};

}  // namespace Media
