// Pictures and moving pictures from 8-bit RGBA frames: PNG, animated GIF and WebP, MP4 and
// WebM video. No GL: whoever draws hands over the pixels, top row first.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Media {

enum class Format { Png, Gif, Webp, Mp4, Webm };

// The format a file name's ending asks for, in any letter case; none for other endings.
std::optional<Format> FormatOf(std::string_view path);
// Everything but PNG holds a sequence of pictures.
bool IsMoving(Format format);
// PNG and WebP keep every alpha value; GIF keeps whether a pixel is transparent, below half
// coverage; the videos keep none.
bool KeepsAlpha(Format format);
// MP4 and WebM pictures are cut into 2×2 blocks of colour: an even width and height.
bool WantsEvenSize(Format format);

// The most bytes of pictures a GIF holds while it waits for its palette, which is made from
// every picture before the first is written.
inline constexpr uint64_t kMaxHeldBytes = uint64_t(2) << 30;

struct MovieOptions {
    int width = 0;
    int height = 0;
    // Pictures per second. A GIF counts its delays in hundredths of a second and players
    // slow down delays under two of them, so a GIF plays at most 50 pictures a second.
    int fps = 25;
    bool alpha = false;     // keep transparency (for the formats that do)
    unsigned pictures = 0;  // how many will be added, for the GIF's size check
};

// A moving picture being written: nothing reaches its file until Finish, which writes it
// whole (a temporary file beside it renamed over it) or throws with nothing left behind.
struct IMovieWriter {
    virtual ~IMovieWriter() = default;
    // The next picture: width × height × 4 bytes, top row first.
    virtual void Add(std::span<const uint8_t> rgba) = 0;
    virtual void Finish() = 0;
};

// Throws Except: Input for a size the format can't take (an odd one for video; a GIF past
// kMaxHeldBytes), Unsupported when the libraries lack the encoder, Io when the file can't be
// written.
std::unique_ptr<IMovieWriter> CreateMovieWriter(Format format, const std::string& path,
                                                const MovieOptions& options);

// One still picture as WebP (a cache's small pictures): lossless (every pixel exact) when that
// takes at most `mostBytes`, else lossy at the best of a few qualities that fits (the lowest
// when none does). Empty when the size and the pixels don't agree.
std::vector<uint8_t> EncodeWebpPicture(int width, int height, std::span<const uint8_t> rgba,
                                       std::size_t mostBytes);

struct WebpPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // top row first
};
// Decodes a still WebP picture of at most `mostSide` pixels each way; false (the picture
// untouched but for its pixels emptied) for bytes that are no such picture.
bool DecodeWebpPicture(std::span<const uint8_t> bytes, int mostSide, WebpPicture& picture);

}  // namespace Media
