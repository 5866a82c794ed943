// A bounds-checked view of a model file's reader: every read first checks that the bytes
// are there and throws Except naming the file kind and what is short.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "pakmgr/pakmgr.h"

namespace Model {

class Cursor {
public:
    Cursor(PakMgr::IRead& reader, std::string_view kind) : m_reader(reader), m_kind(kind) {}

    uint32_t Tell() { return m_reader.Tell(); }
    uint32_t Size() { return m_reader.GetSize(); }
    uint32_t Remaining() {
        uint32_t position = Tell();
        uint32_t size = Size();
        return position < size ? size - position : 0;
    }
    bool AtEnd() { return Tell() >= Size(); }

    // Throws "corrupt <kind> file: <who> needs N bytes of <what>, M remain" unless `bytes`
    // remain. `what` may be empty.
    void Need(uint64_t bytes, std::string_view who, std::string_view what = {}) {
        uint32_t remaining = Remaining();
        if (bytes > remaining) {
            Fail(std::string(who) + " needs " + std::to_string(bytes) + " bytes" +
                 (what.empty() ? "" : " of " + std::string(what)) + ", " +
                 std::to_string(remaining) + " remain");
        }
    }

    [[noreturn]] void Fail(std::string_view fault) {
        throw Except::Literal(ErrorKind::Corrupt,
                              "corrupt " + std::string(m_kind) + " file: " + std::string(fault));
    }

    // Moves to an absolute offset that must lie within the file.
    void SeekTo(uint32_t offset, std::string_view who) {
        if (offset > Size()) {
            Fail(std::string(who) + " needs " + std::to_string(offset) + " bytes, the file has " +
                 std::to_string(Size()));
        }
        m_reader.Seek(static_cast<int32_t>(offset), 0);
    }
    void Skip(uint32_t bytes, std::string_view who) {
        Need(bytes, who);
        m_reader.Seek(static_cast<int32_t>(bytes), 1);
    }

    void Bytes(void* dst, uint32_t count, std::string_view who, std::string_view what = {}) {
        Need(count, who, what);
        m_reader.Read(dst, count);
    }

    template <class T>
    T Value(std::string_view who, std::string_view what = {}) {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        Bytes(&value, sizeof value, who, what);
        return value;
    }
    uint32_t U32(std::string_view who, std::string_view what = {}) {
        return Value<uint32_t>(who, what);
    }

    // `count` records of `recordSize` bytes, checked before anything is allocated.
    std::vector<uint8_t> Records(uint64_t count, uint32_t recordSize, std::string_view who,
                                 std::string_view what) {
        uint64_t bytes = count * recordSize;
        Need(bytes, who, what);
        std::vector<uint8_t> data(static_cast<std::size_t>(bytes));
        if (bytes > 0) {
            m_reader.Read(data.data(), static_cast<uint32_t>(bytes));
        }
        return data;
    }

    // An array whose element layout equals the file's, filled with one read.
    template <class T>
    void Array(std::vector<T>& out, uint64_t count, std::string_view who, std::string_view what) {
        static_assert(std::is_trivially_copyable_v<T>);
        Need(count * sizeof(T), who, what);
        out.assign(static_cast<std::size_t>(count), T{});
        if (count > 0) {
            m_reader.Read(out.data(), static_cast<uint32_t>(count * sizeof(T)));
        }
    }

    // A fixed text field: the text up to its first zero byte, or the whole field.
    std::string Name(uint32_t fieldSize, std::string_view who, std::string_view what) {
        std::string field(fieldSize, '\0');
        Bytes(field.data(), fieldSize, who, what);
        return TextOf(field);
    }

    static std::string TextOf(std::string_view field) {
        return std::string(field.substr(0, field.find('\0')));
    }

private:
    PakMgr::IRead& m_reader;
    std::string_view m_kind;
};

inline std::string Numbered(std::string_view noun, uint64_t index) {
    return std::string(noun) + " " + std::to_string(index);
}

}  // namespace Model
