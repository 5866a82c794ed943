// The FFmpeg module's side of the boundary: the writers of GIF and video, their exceptions
// caught and handed back as failures.
#include <new>

#include "Module.h"
#include "Writers.h"

namespace Media::Module {
namespace {

template <typename Work>
bool Guarded(Failure& failure, Work&& work) noexcept {
    try {
        work();
        return true;
    } catch (const Except& e) {
        failure = {Failure::What::Except, e.Kind(), e.Message()};
    } catch (const std::bad_alloc&) {
        failure = {Failure::What::OutOfMemory, ErrorKind::Io, {}};
    } catch (const std::exception& e) {
        failure = {Failure::What::Other, ErrorKind::Io, e.what()};
    } catch (...) {
        failure = {Failure::What::Other, ErrorKind::Io, "unknown failure"};
    }
    return false;
}

class Writer final : public IWriter {
public:
    explicit Writer(std::unique_ptr<IMovieWriter> inner) : m_inner(std::move(inner)) {}
    bool Add(std::span<const uint8_t> rgba, Failure& failure) noexcept override {
        return Guarded(failure, [&] { m_inner->Add(rgba); });
    }
    bool Finish(Failure& failure) noexcept override {
        return Guarded(failure, [&] { m_inner->Finish(); });
    }

private:
    std::unique_ptr<IMovieWriter> m_inner;
};

bool Create(Format format, const std::string& path, const MovieOptions& options,
            std::unique_ptr<IWriter>& writer, Failure& failure) noexcept {
    return Guarded(failure, [&] {
        writer = std::make_unique<Writer>(format == Format::Gif
                                              ? CreateGifWriter(path, options)
                                              : CreateVideoWriter(format, path, options));
    });
}

constexpr Api kApi{kVersion, &Create};

}  // namespace
}  // namespace Media::Module

extern "C" __attribute__((visibility("default"))) const Media::Module::Api*
vell_media_ffmpeg_api() {
    return &Media::Module::kApi;
}
