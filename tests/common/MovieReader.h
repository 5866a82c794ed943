// Moving pictures read back by their own libraries' decoders: WebP through libwebp's
// animation decoder, GIF and video through FFmpeg's demuxers and decoders.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}
#include <webp/demux.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace MovieReader {

struct Movie {
    bool ok = false;
    std::string codec;  // FFmpeg's name of the stream's codec; "webp" for WebP
    int width = 0;
    int height = 0;
    int pictures = 0;
    std::vector<int> delaysMs;               // time from each picture to the next
    std::vector<std::vector<uint8_t>> rgba;  // every picture, top row first
};

inline std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline Movie ReadWebp(const std::string& path) {
    Movie movie;
    const std::vector<uint8_t> bytes = Bytes(path);
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder) {
        return movie;
    }
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    movie.codec = "webp";
    movie.width = static_cast<int>(info.canvas_width);
    movie.height = static_cast<int>(info.canvas_height);
    int last = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) {
            break;
        }
        // A WebP timestamp is when the picture ends.
        movie.delaysMs.push_back(timestamp - last);
        last = timestamp;
        movie.rgba.emplace_back(pixels, pixels + std::size_t(movie.width) * movie.height * 4);
    }
    movie.pictures = static_cast<int>(movie.rgba.size());
    movie.ok = movie.pictures == static_cast<int>(info.frame_count);
    WebPAnimDecoderDelete(decoder);
    return movie;
}

// Every picture decoded and converted to RGBA; the delays from the packets' times.
inline Movie ReadWithFfmpeg(const std::string& path) {
    Movie movie;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return movie;
    }
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext* decoder = stream >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    if (!decoder) {
        avformat_close_input(&format);
        return movie;
    }
    avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    movie.codec = codec->name;
    const AVRational base = format->streams[stream]->time_base;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<int64_t> times;
    auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            movie.width = frame->width;
            movie.height = frame->height;
            times.push_back(av_rescale_q(frame->best_effort_timestamp, base, {1, 1000}));
            std::vector<uint8_t> rgba(std::size_t(frame->width) * frame->height * 4);
            SwsContext* scale = sws_getContext(
                frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                frame->width, frame->height, AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr, nullptr);
            uint8_t* to[1] = {rgba.data()};
            const int stride[1] = {frame->width * 4};
            sws_scale(scale, frame->data, frame->linesize, 0, frame->height, to, stride);
            sws_freeContext(scale);
            movie.rgba.push_back(std::move(rgba));
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream) {
            avcodec_send_packet(decoder, packet);
            drain();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    for (std::size_t i = 1; i < times.size(); ++i) {
        movie.delaysMs.push_back(static_cast<int>(times[i] - times[i - 1]));
    }
    movie.pictures = static_cast<int>(movie.rgba.size());
    movie.ok = movie.pictures > 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return movie;
}

inline Movie Read(const std::string& path) {
    return path.ends_with(".webp") ? ReadWebp(path) : ReadWithFfmpeg(path);
}

}  // namespace MovieReader
