// Little-endian byte output for the model writers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Model {

class ByteSink {
public:
    template <class T>
    void Put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        m_bytes.insert(m_bytes.end(), p, p + sizeof value);
    }
    template <class T>
    void PutAll(std::span<const T> values) {
        for (const T& v : values) {
            Put(v);
        }
    }
    void PutBytes(std::string_view bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    // The text cut to the field, then zeros to its end.
    void PutField(std::string_view text, std::size_t fieldSize) {
        std::size_t n = std::min(text.size(), fieldSize);
        PutBytes(text.substr(0, n));
        Zeros(fieldSize - n);
    }
    void Zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    // Zeros up to an absolute size.
    void PadTo(std::size_t size) {
        if (m_bytes.size() < size) {
            Zeros(size - m_bytes.size());
        }
    }
    std::size_t Size() const { return m_bytes.size(); }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace Model
