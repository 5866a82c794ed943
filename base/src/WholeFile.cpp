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

int WriteReplacing(const char* path, Pieces pieces, const FileHandle* dir) {
    char temporary[PATH_MAX];
    FileHandle file;
    for (int attempt = 0; attempt < kNameAttempts && !file.IsOpen(); ++attempt) {
        if (!TemporaryName(path, temporary)) {
            return ENAMETOOLONG;
        }
        file = FileHandle::Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, dir, kFileMode);
        if (!file.IsOpen() && errno != EEXIST) {
            return errno;
        }
    }
    if (!file.IsOpen()) {
        return EEXIST;
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
        // Messages quote names in code page 936, as the loaders' do; paths here are UTF-8.
        throw Except(ErrorKind::Io, "can't write %s: %s", Utf8ToGbk(path).c_str(),
                     std::strerror(error));
    }
}

}  // namespace Base
