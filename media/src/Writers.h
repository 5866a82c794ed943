// The writers behind CreateMovieWriter, one per library.
#pragma once

#include "media/media.h"

namespace Media {

std::unique_ptr<IMovieWriter> CreateWebpWriter(const std::string& path,
                                               const MovieOptions& options);
std::unique_ptr<IMovieWriter> CreateGifWriter(const std::string& path, const MovieOptions& options);
std::unique_ptr<IMovieWriter> CreateVideoWriter(Format format, const std::string& path,
                                                const MovieOptions& options);

}  // namespace Media
