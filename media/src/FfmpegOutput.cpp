#include "FfmpegOutput.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "base/except.h"

namespace Media {
namespace {

constexpr int kIoBufferSize = 1 << 16;

std::string Reason(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

}  // namespace

int Check(int result, const char* what) {
    if (result < 0) {
        if (result == AVERROR(ENOMEM)) {
            throw std::bad_alloc();
        }
        throw Except(ErrorKind::Unsupported, "FFmpeg failed %s: %s", what, Reason(result).c_str());
    }
    return result;
}

Codec OpenableCodec(const char* name, AVCodecID id, const char* kind) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        codec = avcodec_find_encoder(id);
    }
    if (!codec) {
        throw Except(ErrorKind::Unsupported, "FFmpeg's libraries here have no %s encoder", kind);
    }
    Codec context(avcodec_alloc_context3(codec));
    if (!context) {
        throw std::bad_alloc();
    }
    return context;
}

Frame MakeFrame(int width, int height, AVPixelFormat format) {
    Frame frame(av_frame_alloc());
    if (!frame) {
        throw std::bad_alloc();
    }
    frame->width = width;
    frame->height = height;
    frame->format = format;
    Check(av_frame_get_buffer(frame.get(), 0), "making a picture's buffer");
    return frame;
}

FfmpegOutput::FfmpegOutput(const std::string& path, const char* muxer)
    : m_file(path), m_packet(av_packet_alloc()) {
    av_log_set_level(AV_LOG_QUIET);
    if (!m_packet) {
        throw std::bad_alloc();
    }
    Check(avformat_alloc_output_context2(&m_format, nullptr, muxer, nullptr), "finding a muxer");
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    m_io = buffer ? avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WritePacket, &Seek)
                  : nullptr;
    if (!m_io) {
        av_free(buffer);
        avformat_free_context(m_format);
        throw std::bad_alloc();
    }
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
}

FfmpegOutput::~FfmpegOutput() {
    avformat_free_context(m_format);
    if (m_io) {
        av_freep(&m_io->buffer);
    }
    avio_context_free(&m_io);
}

bool FfmpegOutput::WantsGlobalHeader() const {
    return (m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

void FfmpegOutput::Begin(const AVCodecContext& codec, int64_t duration) {
    m_duration = duration;
    m_stream = avformat_new_stream(m_format, nullptr);
    if (!m_stream) {
        throw std::bad_alloc();
    }
    Check(avcodec_parameters_from_context(m_stream->codecpar, &codec), "describing the stream");
    m_stream->time_base = codec.time_base;
    Call(avformat_write_header(m_format, nullptr), "writing the header");
}

void FfmpegOutput::Encode(AVCodecContext& codec, const AVFrame* frame) {
    Check(avcodec_send_frame(&codec, frame), "encoding a picture");
    for (;;) {
        const int received = avcodec_receive_packet(&codec, m_packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return;
        }
        Check(received, "encoding a picture");
        if (m_packet->duration == 0) {
            m_packet->duration = m_duration;
        }
        av_packet_rescale_ts(m_packet.get(), codec.time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        Call(av_interleaved_write_frame(m_format, m_packet.get()), "writing a picture");
    }
}

void FfmpegOutput::End() {
    Call(av_write_trailer(m_format), "writing the trailer");
    avio_flush(m_io);
    Call(m_io->error, "writing the file");
    m_file.Commit();
}

int FfmpegOutput::Call(int result, const char* what) {
    if (m_failure) {
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    }
    return Check(result, what);
}

int FfmpegOutput::WritePacket(void* opaque, uint8_t* bytes, int size) {
    auto& self = *static_cast<FfmpegOutput*>(opaque);
    try {
        const std::span<const uint8_t> piece(bytes, static_cast<std::size_t>(size));
        if (self.m_position == self.m_size) {
            self.m_file.Write(piece);
        } else {
            self.m_file.WriteAt(self.m_position, piece);
        }
        self.m_position += static_cast<uint64_t>(size);
        self.m_size = std::max(self.m_size, self.m_position);
        return size;
    } catch (...) {
        self.m_failure = std::current_exception();
        return AVERROR(EIO);
    }
}

int64_t FfmpegOutput::Seek(void* opaque, int64_t offset, int whence) {
    auto& self = *static_cast<FfmpegOutput*>(opaque);
    const auto size = static_cast<int64_t>(self.m_size);
    int64_t to = -1;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            to = offset;
            break;
        case SEEK_CUR:
            to = static_cast<int64_t>(self.m_position) + offset;
            break;
        case SEEK_END:
            to = size + offset;
            break;
        default:
            break;
    }
    // Only back over what was written: a gap would be bytes never written.
    if (to < 0 || to > size) {
        return AVERROR(EINVAL);
    }
    self.m_position = static_cast<uint64_t>(to);
    return to;
}

}  // namespace Media
