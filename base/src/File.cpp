#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/file.h"

namespace Base {

FileHandle FileHandle::Open(const char* path, int flags, const FileHandle* dir, unsigned mode) {
    return FileHandle(
        ::openat(dir ? dir->Get() : AT_FDCWD, path, flags, static_cast<mode_t>(mode)));
}

int FileHandle::WriteAll(std::span<const uint8_t> bytes) const {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written == 0 ? ENOSPC : errno;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

FileHandle::~FileHandle() {
    Close();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

int FileHandle::Close() {
    if (m_fd < 0) {
        return 0;
    }
    // The descriptor is gone whatever close reports, so it is never closed twice.
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 ? 0 : errno;
}

std::string FindBesideProgram(const std::string& belowPrefix) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return "";
    }
    fs::path prefix = program.parent_path().parent_path();
    for (int up = 0; up < 2; ++up, prefix = prefix.parent_path()) {
        const fs::path file = prefix / belowPrefix;
        if (fs::is_regular_file(file, ec)) {
            return file.lexically_normal().string();
        }
    }
    return "";
}

}  // namespace Base
