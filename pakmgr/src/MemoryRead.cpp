#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pakmgr/pakmgr.h"

namespace PakMgr {

CMemoryRead::CMemoryRead(const void* bytes, uint32_t size)
    : m_data(std::make_unique_for_overwrite<uint8_t[]>(size)), m_size(size) {
    if (size > 0) {
        std::memcpy(m_data.get(), bytes, size);
    }
}

CMemoryRead::CMemoryRead(std::unique_ptr<uint8_t[]> bytes, uint32_t size)
    : m_data(std::move(bytes)), m_size(size) {}

bool CMemoryRead::SaveToFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool written = m_size == 0 || std::fwrite(m_data.get(), m_size, 1, file) == 1;
    int error = errno;
    // A full disk shows up only when the buffered bytes are flushed.
    bool closed = std::fclose(file) == 0;
    if (written && closed) {
        return true;
    }
    error = written ? errno : error;
    // What a failed write left is removed, unless the name is a device's.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        ::unlink(path.c_str());
    }
    errno = error;  // tells the caller why
    return false;
}

bool CMemoryRead::IsEmpty() {
    return m_size == 0;
}

void CMemoryRead::Read(void* dst, uint32_t count) {
    uint32_t size = GetSize();
    // A read of nothing may come with a null destination (an empty vector's data()).
    if (m_position >= size || count == 0) {
        return;
    }
    uint32_t available = size - m_position;
    uint32_t n = count < available ? count : available;
    std::memcpy(dst, m_data.get() + m_position, n);
    m_position += n;
}

uint32_t CMemoryRead::Tell() {
    return m_position;
}

void CMemoryRead::Clear() {
    m_data.reset();
    m_size = 0;
    m_position = 0;
}

void CMemoryRead::Seek(int32_t offset, int32_t origin) {
    // Positions wrap as unsigned 32-bit values; reads past the end then copy nothing.
    switch (origin) {
        case 0:
            m_position = static_cast<uint32_t>(offset);
            break;
        case 1:
            m_position += static_cast<uint32_t>(offset);
            break;
        case 2:
            m_position = GetSize() - static_cast<uint32_t>(offset);
            break;
        default:
            break;
    }
}

uint32_t CMemoryRead::GetSize() {
    return m_size;
}

}  // namespace PakMgr
