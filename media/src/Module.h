// The boundary between the media library and its FFmpeg half, a module loaded the first time
// a GIF or a video is written: FFmpeg's libraries pull in some 150 others, whose loading
// would otherwise cost every start of the program (tens of milliseconds and of megabytes)
// though most runs never write a video. No exception crosses it: a failure comes back as
// what it was and is thrown again on the program's side.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "base/except.h"
#include "media/media.h"

namespace Media::Module {

inline constexpr int kVersion = 1;
// The module's file below the program's prefix, and its one entry point.
inline constexpr char kFileBelowPrefix[] = "lib/vellmodelbrowser/modules/vell_media_ffmpeg.so";
inline constexpr char kEntryPoint[] = "vell_media_ffmpeg_api";

struct Failure {
    enum class What { None, Except, OutOfMemory, Other };
    What what = What::None;
    ErrorKind kind = ErrorKind::Io;
    std::string message;
};

struct IWriter {
    virtual ~IWriter() = default;
    virtual bool Add(std::span<const uint8_t> rgba, Failure& failure) noexcept = 0;
    virtual bool Finish(Failure& failure) noexcept = 0;
};

struct Api {
    int version = kVersion;
    // A writer of GIF, MP4 or WebM; false with the failure said when there is none.
    bool (*create)(Format format, const std::string& path, const MovieOptions& options,
                   std::unique_ptr<IWriter>& writer, Failure& failure) noexcept = nullptr;
};

}  // namespace Media::Module

extern "C" const Media::Module::Api* vell_media_ffmpeg_api();
