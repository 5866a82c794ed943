// The containers of a glTF file: a small JSON writer, the binary buffer with its views and
// accessors, and the .glb / .gltf + .bin file layouts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Export::Gltf {

// Writes JSON text with commas placed by nesting; strings must be UTF-8.
class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of the current object.
    void Key(std::string_view key);
    void String(std::string_view text);
    void Number(double value);
    void Integer(int64_t value);
    void Bool(bool value);
    void Float(float value);
    void Floats(std::span<const float> values);
    void Integers(std::span<const int> values);
    const std::string& Text() const { return m_text; }

private:
    void Separate();
    std::string m_text;
    std::vector<bool> m_first;  // per open object or array: nothing written in it yet
    bool m_afterKey = false;
};

// Escapes a string for a JSON string literal (without the quotes).
std::string EscapeJson(std::string_view text);

enum ComponentType : int {
    kUnsignedByte = 5121,
    kUnsignedShort = 5123,
    kUnsignedInt = 5125,
    kFloat = 5126,
};

enum class Target { None, Vertices, Indices };

struct Accessor {
    int view = 0;
    int componentType = kFloat;
    std::size_t count = 0;
    std::string_view type;  // "SCALAR", "VEC2", ...
    std::vector<float> min;
    std::vector<float> max;
};

struct BufferView {
    std::size_t offset = 0;
    std::size_t length = 0;
    Target target = Target::None;
};

// The one binary buffer: every block starts on a 4-byte boundary.
class BinaryBuffer {
public:
    int AddView(std::span<const uint8_t> bytes, Target target);
    template <typename T>
    int AddView(std::span<const T> values, Target target) {
        return AddView(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(values.data()),
                                                values.size_bytes()),
                       target);
    }
    int AddAccessor(Accessor accessor);
    // Floats with `components` per element; with bounds, min and max per component.
    int AddFloats(std::span<const float> values, std::string_view type, int components, bool bounds,
                  Target target);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    const std::vector<BufferView>& Views() const { return m_views; }
    const std::vector<Accessor>& Accessors() const { return m_accessors; }

    void WriteViews(JsonWriter& json) const;
    void WriteAccessors(JsonWriter& json) const;

private:
    std::vector<uint8_t> m_bytes;
    std::vector<BufferView> m_views;
    std::vector<Accessor> m_accessors;
};

// The .glb file image: header, JSON chunk, BIN chunk.
std::vector<uint8_t> MakeGlb(std::string_view json, std::span<const uint8_t> bin);

// Percent-encodes a file name for a relative URI.
std::string EncodeUri(std::string_view name);

}  // namespace Export::Gltf
