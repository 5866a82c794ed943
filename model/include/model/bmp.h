// The BMP writer behind frame export: 54-byte header, then the pixels unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Model {

inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::size_t kBmpInfoHeaderSize = 40;
inline constexpr std::size_t kBmpHeaderSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;

struct BmpImage {
    int32_t width = 0;
    // Negative for rows stored bottom row first, as GL reads them back; the file's height
    // field is its negation, so such a picture gets the positive, bottom-up height.
    int32_t height = 0;
    uint32_t byteCount = 0;
    uint32_t bytesPerPixel = 4;
    const uint8_t* pixels = nullptr;
};

// Writes the header and pixels as the file's whole content through Base::TryWriteWholeFile;
// true when every byte was written (errno tells why not).
bool WriteBmp(const char* fileName, const BmpImage& image);

}  // namespace Model
