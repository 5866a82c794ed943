// The writers behind CreateMovieWriter, one per library. GIF and video live in the FFmpeg
// module; the program reaches them through CreateFfmpegWriter, which loads it.
#pragma once

#include "media/media.h"

namespace Media {

std::unique_ptr<IMovieWriter> CreateWebpWriter(const std::string& path,
                                               const MovieOptions& options);
std::unique_ptr<IMovieWriter> CreateGifWriter(const std::string& path, const MovieOptions& options);
std::unique_ptr<IMovieWriter> CreateVideoWriter(Format format, const std::string& path,
                                                const MovieOptions& options);

// GIF, MP4 or WebM through the module, loaded on the first call.
std::unique_ptr<IMovieWriter> CreateFfmpegWriter(Format format, const std::string& path,
                                                 const MovieOptions& options);

}  // namespace Media
