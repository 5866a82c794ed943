// The program's side of the boundary: the FFmpeg module found beside the program, loaded once
// and kept for the life of the process (its writers may outlive any one caller).
#include <dlfcn.h>

#include <new>
#include <stdexcept>

#include "Module.h"
#include "Writers.h"
#include "base/file.h"

namespace Media {
namespace {

using Module::Failure;

[[noreturn]] void Rethrow(const Failure& failure) {
    switch (failure.what) {
        case Failure::What::OutOfMemory:
            throw std::bad_alloc();
        case Failure::What::Except:
            throw Except::Literal(failure.kind, failure.message);
        case Failure::What::None:
        case Failure::What::Other:
            break;
    }
    throw std::runtime_error(failure.message);
}

class LoadedWriter final : public IMovieWriter {
public:
    explicit LoadedWriter(std::unique_ptr<Module::IWriter> writer) : m_writer(std::move(writer)) {}
    void Add(std::span<const uint8_t> rgba) override {
        Failure failure;
        if (!m_writer->Add(rgba, failure)) {
            Rethrow(failure);
        }
    }
    void Finish() override {
        Failure failure;
        if (!m_writer->Finish(failure)) {
            Rethrow(failure);
        }
    }

private:
    std::unique_ptr<Module::IWriter> m_writer;
};

struct Loaded {
    const Module::Api* api = nullptr;
    std::string why;  // when there is no api
};

Loaded Load() {
    const std::string file = Base::FindBesideProgram(Module::kFileBelowPrefix);
    if (file.empty()) {
        return {nullptr, std::string(Module::kFileBelowPrefix) + " is not installed"};
    }
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        return {nullptr, ::dlerror()};
    }
    using Entry = const Module::Api* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, Module::kEntryPoint));
    const Module::Api* api = entry ? entry() : nullptr;
    if (!api || api->version != Module::kVersion || !api->create) {
        return {nullptr, file + " is not the version this program was built with"};
    }
    return {api, {}};
}

const Loaded& TheModule() {
    static const Loaded loaded = Load();
    return loaded;
}

}  // namespace

std::unique_ptr<IMovieWriter> CreateFfmpegWriter(Format format, const std::string& path,
                                                 const MovieOptions& options) {
    const Loaded& module = TheModule();
    if (!module.api) {
        throw Except(ErrorKind::Unsupported, "GIF and video need FFmpeg's half of the program: %s",
                     module.why.c_str());
    }
    std::unique_ptr<Module::IWriter> writer;
    Failure failure;
    if (!module.api->create(format, path, options, writer, failure)) {
        Rethrow(failure);
    }
    return std::make_unique<LoadedWriter>(std::move(writer));
}

}  // namespace Media
