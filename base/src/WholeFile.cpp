// Writing a whole file at once: the bytes go to a temporary file beside the target, which is
// then renamed over it, so the target is either replaced whole or left as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/except.h"
#include "base/file.h"
#include "base/text.h"

namespace Base {
namespace {

using Pieces = std::span<const std::span<const uint8_t>>;

constexpr mode_t kFileMode = 0666;  // less the process's umask
constexpr int kNameAttempts = 16;
constexpr std::size_t kLongestKeptName = 200;

std::atomic<unsigned> g_temporaryCounter{0};

// "<folder>/.<name>.<pid>.<n>.tmp" beside the target, built without allocating (a frame
// export writes thousands); false when it doesn't fit.
bool TemporaryName(const char* path, std::span<char> out) {
    const char* slash = std::strrchr(path, '/');
    const int folderLength = slash ? static_cast<int>(slash - path + 1) : 0;
    // A name near the file system's limit would not fit with the suffix.
    const char* name = path + folderLength;
    if (std::strlen(name) > kLongestKeptName) {
        name = "vell";
    }
    const int length =
        std::snprintf(out.data(), out.size(), "%.*s.%s.%d.%u.tmp", folderLength, path, name,
                      static_cast<int>(::getpid()), g_temporaryCounter++);
    return length > 0 && static_cast<std::size_t>(length) < out.size();
}

// Writes into an open file and closes it; 0, or the errno of the first failure.
int WriteAndClose(FileHandle file, Pieces pieces) {
    int error = 0;
    for (std::span<const uint8_t> piece : pieces) {
        if (error == 0) {
            error = file.WriteAll(piece);
        }
    }
    const int closed = file.Close();
    return error != 0 ? error : closed;
}

int FolderOf(const FileHandle* dir) {
    return dir ? dir->Get() : AT_FDCWD;
}

// A device or pipe of the target's name is written in place: it can't be replaced.
bool IsSpecialFile(const char* path, const FileHandle* dir) {
    struct stat info {};
    return ::fstatat(FolderOf(dir), path, &info, 0) == 0 && !S_ISREG(info.st_mode) &&
           !S_ISDIR(info.st_mode);
}

int WriteInPlace(const char* path, Pieces pieces, const FileHandle* dir) {
    FileHandle file = FileHandle::Open(path, O_WRONLY | O_TRUNC | O_CLOEXEC, dir);
    return file.IsOpen() ? WriteAndClose(std::move(file), pieces) : errno;
}

// Creates a new temporary file beside `path` (in `dir` when given), its name in `temporary`: 0,
// or the errno.
int OpenTemporary(const char* path, std::span<char> temporary, FileHandle& file,
                  const FileHandle* dir = nullptr) {
    for (int attempt = 0; attempt < kNameAttempts && !file.IsOpen(); ++attempt) {
        if (!TemporaryName(path, temporary)) {
            return ENAMETOOLONG;
        }
        file = FileHandle::Open(temporary.data(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, dir,
                                kFileMode);
        if (!file.IsOpen() && errno != EEXIST) {
            return errno;
        }
    }
    return file.IsOpen() ? 0 : EEXIST;
}

[[noreturn]] void ThrowWriteError(const std::string& path, int error) {
    // Messages quote names in code page 936, as the loaders' do; paths here are UTF-8.
    throw Except(ErrorKind::Io, "can't write %s: %s", Utf8ToGbk(path).c_str(),
                 std::strerror(error));
}

int WriteReplacing(const char* path, Pieces pieces, const FileHandle* dir) {
    char temporary[PATH_MAX];
    FileHandle file;
    if (const int opened = OpenTemporary(path, temporary, file, dir); opened != 0) {
        return opened;
    }
    int error = WriteAndClose(std::move(file), pieces);
    if (error == 0 && ::renameat(FolderOf(dir), temporary, FolderOf(dir), path) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlinkat(FolderOf(dir), temporary, 0);
    }
    return error;
}

}  // namespace

int TryWriteWholeFile(const char* path, Pieces pieces, const FileHandle* dir) {
    if (!path || (dir && !dir->IsOpen())) {
        return EINVAL;
    }
    return IsSpecialFile(path, dir) ? WriteInPlace(path, pieces, dir)
                                    : WriteReplacing(path, pieces, dir);
}

void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
    const std::span<const uint8_t> pieces[] = {bytes};
    const int error = TryWriteWholeFile(path.c_str(), pieces);
    if (error != 0) {
        ThrowWriteError(path, error);
    }
}

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path)) {
    char temporary[PATH_MAX];
    if (const int error = OpenTemporary(m_path.c_str(), temporary, m_file); error != 0) {
        Fail(error);
    }
    m_temporary = temporary;
}

AtomicFile::~AtomicFile() {
    if (!m_temporary.empty()) {
        m_file.Close();
        ::unlink(m_temporary.c_str());
    }
}

void AtomicFile::Fail(int error) const {
    ThrowWriteError(m_path, error);
}

void AtomicFile::Write(std::span<const uint8_t> bytes) {
    if (!m_file.IsOpen()) {
        Fail(EBADF);
    }
    if (const int error = m_file.WriteAll(bytes); error != 0) {
        Fail(error);
    }
}

void AtomicFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written =
            ::pwrite(m_file.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail(written == 0 ? ENOSPC : errno);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        offset += static_cast<uint64_t>(written);
    }
}

void AtomicFile::Commit() {
    if (const int error = m_file.Close(); error != 0) {
        Fail(error);
    }
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        Fail(errno);
    }
    m_temporary.clear();
}

}  // namespace Base
