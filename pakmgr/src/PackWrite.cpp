// Writing a planned mod archive: files read and compressed a slice at a time on the workers,
// while the slice before is written in order.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "base/except.h"
#include "base/file.h"
#include "base/parallel.h"
#include "base/text.h"
#include "pakmgr/pack.h"

namespace PakMgr {

namespace {

// Bytes read and compressed between two writes: two slices are in memory at once.
constexpr uint64_t kSliceBytes = 8u << 20;
// A thread's read buffer above this size is given back after its file.
constexpr std::size_t kKeptBuffer = 16u << 20;
// Small streams are gathered up to this size before they are written: one write a file would
// cost as much as reading them.
constexpr std::size_t kWriteBytes = 1u << 20;

struct Compressed {
    std::vector<uint8_t> stream;
    uint32_t inflatedSize = 0;
};

struct Slice {
    std::size_t first = 0;
    std::size_t count = 0;
    uint64_t bytes = 0;
};

std::vector<Slice> Slices(const PackPlan& plan) {
    std::vector<Slice> slices;
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        if (slices.empty() || slices.back().bytes >= kSliceBytes) {
            slices.push_back({i, 0, 0});
        }
        ++slices.back().count;
        slices.back().bytes += plan.files[i].size;
    }
    return slices;
}

[[noreturn]] void CantRead(const PackSource& source, int error) {
    throw Except(ErrorKind::Io, "can't read %s: %s", Base::Utf8ToGbk(source.file).c_str(),
                 std::strerror(error));
}

// The whole file into `bytes`, which keeps its capacity from file to file.
void ReadSource(const PackSource& source, std::vector<uint8_t>& bytes) {
    const Base::FileHandle file = Base::FileHandle::Open(source.file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0) {
        CantRead(source, errno);
    }
    // The size is checked again: the file may have grown since it was listed.
    if (static_cast<uint64_t>(info.st_size) >= kMaxArchiveBytes) {
        CantRead(source, EFBIG);
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            CantRead(source, n == 0 ? EIO : errno);
        }
        done += static_cast<std::size_t>(n);
    }
}

void Compress(const PackSource& source, int level, Compressed& out) {
    thread_local std::vector<uint8_t> input;
    thread_local std::vector<uint8_t> scratch;
    ReadSource(source, input);
    CompressStream(input, level, scratch);
    out.stream.assign(scratch.begin(), scratch.end());
    out.inflatedSize = static_cast<uint32_t>(input.size());
    for (std::vector<uint8_t>* buffer : {&input, &scratch}) {
        if (buffer->capacity() > kKeptBuffer) {
            std::vector<uint8_t>().swap(*buffer);
        }
    }
}

// The archives being written: NAME.pak, then the parts a split adds.
class Parts {
public:
    Parts(std::string target, const PackOptions& options)
        : m_target(std::move(target)), m_options(options) {}

    void Add(std::size_t index, const PackSource& source, const Compressed& file) {
        if (!m_current) {
            Next();
        }
        if (!Fits(file.stream.size()) && m_options.split && m_current->table.Count() > 0) {
            Next();
        }
        if (!Fits(file.stream.size())) {
            throw Except(ErrorKind::Input, "the archive would pass 4 GiB at %s%s",
                         source.path.c_str(), m_options.split ? "" : " (--split writes several)");
        }
        m_current->table.Add(source.path, file.inflatedSize, file.stream.size());
        if (m_current->table.Count() == 1) {
            m_current->first = index;
        }
        std::vector<uint8_t>& pending = m_current->pending;
        if (pending.size() + file.stream.size() > kWriteBytes) {
            m_current->file.Write(pending);
            pending.clear();
        }
        if (file.stream.size() > kWriteBytes) {
            m_current->file.Write(file.stream);
        } else {
            pending.insert(pending.end(), file.stream.begin(), file.stream.end());
        }
    }

    std::vector<std::string> Commit() {
        End();
        if (m_options.beforeCommit) {
            std::vector<PackPart> parts;
            for (const std::unique_ptr<Part>& part : m_done) {
                parts.push_back({part->file.Path(), part->first, part->table.Count()});
            }
            m_options.beforeCommit(parts);
        }
        std::vector<std::string> written;
        for (const std::unique_ptr<Part>& part : m_done) {
            part->file.Commit();
            written.push_back(part->file.Path());
        }
        return written;
    }

private:
    struct Part {
        explicit Part(std::string path) : file(std::move(path)) {}
        Base::AtomicFile file;
        ArchiveTable table;
        std::size_t first = 0;         // the plan's index of its first file
        std::vector<uint8_t> pending;  // streams placed in the table but not yet written
    };

    bool Fits(uint64_t storedSize) const {
        const ArchiveTable& table = m_current->table;
        const uint64_t after =
            table.End() + storedSize + (table.Count() + 1) * uint64_t{Layout::kRecordSize};
        return table.Fits(storedSize) && after <= m_options.archiveLimit;
    }

    void End() {
        if (m_current) {
            m_current->file.Write(m_current->pending);
            m_current->file.Write(m_current->table.TableBytes());
            m_current->file.WriteAt(0, m_current->table.Header(m_options.packMark));
            m_done.push_back(std::move(m_current));
        }
    }

    void Next() {
        End();
        m_current = std::make_unique<Part>(SplitPartName(m_target, m_done.size()));
        // The header is written last, once the table's place is known.
        const std::array<uint8_t, Layout::kHeaderSize> placeholder{};
        m_current->file.Write(placeholder);
    }

    const std::string m_target;
    const PackOptions& m_options;
    std::unique_ptr<Part> m_current;
    std::vector<std::unique_ptr<Part>> m_done;
};

// Waits for a slice's files, the calling thread compressing beside the workers.
void Finish(Base::Workers& workers) {
    while (workers.Help()) {
    }
    const std::vector<Base::Failure> failures = workers.Wait();
    if (!failures.empty()) {
        std::rethrow_exception(failures.front().error);
    }
}

}  // namespace

std::string SplitPartName(const std::string& target, std::size_t part) {
    if (part == 0) {
        return target;
    }
    const std::size_t slash = target.rfind('/');
    const std::size_t dot = target.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::size_t stemEnd = hasExtension ? dot : target.size();
    return target.substr(0, stemEnd) + "_" + std::to_string(part) + target.substr(stemEnd);
}

std::optional<std::vector<std::string>> WritePack(const PackPlan& plan, const std::string& target,
                                                  const PackOptions& options) {
    if (options.level < kMinPackLevel || options.level > kMaxPackLevel) {
        throw Except(ErrorKind::Input, "compression level %d, not 1 to 12", options.level);
    }
    const std::vector<Slice> slices = Slices(plan);
    std::array<std::vector<Compressed>, 2> buffers;
    const auto start = [&](std::size_t s) {
        const Slice slice = slices[s];
        std::vector<Compressed>& out = buffers[s % 2];
        out.assign(slice.count, {});
        return std::make_unique<Base::Workers>(
            slice.count, options.workers, [&plan, &options, &out, slice](std::size_t i) {
                Compress(plan.files[slice.first + i], options.level, out[i]);
            });
    };
    Parts parts(target, options);
    uint64_t done = 0;
    std::unique_ptr<Base::Workers> running = slices.empty() ? nullptr : start(0);
    for (std::size_t s = 0; s < slices.size(); ++s) {
        Finish(*running);
        running = s + 1 < slices.size() ? start(s + 1) : nullptr;
        std::vector<Compressed>& ready = buffers[s % 2];
        for (std::size_t i = 0; i < ready.size(); ++i) {
            const std::size_t index = slices[s].first + i;
            parts.Add(index, plan.files[index], ready[i]);
        }
        std::vector<Compressed>().swap(ready);
        done += slices[s].bytes;
        if (options.progress && !options.progress(done, plan.bytes)) {
            return std::nullopt;  // the workers stop; the archives being written go
        }
    }
    return parts.Commit();
}

}  // namespace PakMgr
