#include <unistd.h>

#include <cerrno>

#include "base/file.h"

namespace Base {

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

}  // namespace Base
