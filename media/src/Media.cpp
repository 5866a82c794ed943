#include "media/media.h"

#include <array>
#include <utility>

#include "Writers.h"
#include "base/except.h"
#include "base/text.h"

namespace Media {
namespace {

constexpr std::array<std::pair<std::string_view, Format>, 5> kEndings = {{
    {".png", Format::Png},
    {".gif", Format::Gif},
    {".webp", Format::Webp},
    {".mp4", Format::Mp4},
    {".webm", Format::Webm},
}};

}  // namespace

std::optional<Format> FormatOf(std::string_view path) {
    const std::string lower = Base::LowerAscii(path);
    for (const auto& [ending, format] : kEndings) {
        if (lower.size() > ending.size() && lower.ends_with(ending)) {
            return format;
        }
    }
    return std::nullopt;
}

bool IsMoving(Format format) {
    return format != Format::Png;
}

bool KeepsAlpha(Format format) {
    return format == Format::Png || format == Format::Webp || format == Format::Gif;
}

bool WantsEvenSize(Format format) {
    return format == Format::Mp4 || format == Format::Webm;
}

std::unique_ptr<IMovieWriter> CreateMovieWriter(Format format, const std::string& path,
                                                const MovieOptions& options) {
    if (options.width < 1 || options.height < 1 || options.fps < 1) {
        throw Except(ErrorKind::Input, "a moving picture wants a size and a picture rate");
    }
    if (WantsEvenSize(format) && (options.width % 2 != 0 || options.height % 2 != 0)) {
        throw Except(ErrorKind::Input, "a video wants an even width and height, not %dx%d",
                     options.width, options.height);
    }
    switch (format) {
        case Format::Webp:
            return CreateWebpWriter(path, options);
        case Format::Gif:
        case Format::Mp4:
        case Format::Webm:
            return CreateFfmpegWriter(format, path, options);
        case Format::Png:
            break;
    }
    throw Except(ErrorKind::Input, "a PNG file holds one picture");
}

}  // namespace Media
