#include <cerrno>
#include <cstring>

#include "base/file.h"
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
    const std::span<const uint8_t> pieces[] = {Data()};
    const int error = Base::TryWriteWholeFile(path.c_str(), pieces);
    errno = error;  // tells the caller why
    return error == 0;
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
