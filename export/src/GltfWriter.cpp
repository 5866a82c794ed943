#include "GltfWriter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Export::Gltf {
namespace {

constexpr uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr uint32_t kGlbVersion = 2;
constexpr uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
constexpr std::size_t kGlbHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;

std::size_t Padded(std::size_t size) {
    return (size + 3) & ~std::size_t{3};
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

std::string EscapeJson(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (byte < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

void JsonWriter::Separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) {
            m_text += ',';
        }
        m_first.back() = false;
    }
}

void JsonWriter::BeginObject() {
    Separate();
    m_text += '{';
    m_first.push_back(true);
}

void JsonWriter::EndObject() {
    m_text += '}';
    m_first.pop_back();
}

void JsonWriter::BeginArray() {
    Separate();
    m_text += '[';
    m_first.push_back(true);
}

void JsonWriter::EndArray() {
    m_text += ']';
    m_first.pop_back();
}

void JsonWriter::Key(std::string_view key) {
    Separate();
    m_text += '"';
    m_text += EscapeJson(key);
    m_text += "\":";
    m_afterKey = true;
}

void JsonWriter::String(std::string_view text) {
    Separate();
    m_text += '"';
    m_text += EscapeJson(text);
    m_text += '"';
}

void JsonWriter::Number(double value) {
    Separate();
    if (!std::isfinite(value)) {
        value = 0;  // JSON has no infinities; callers keep their numbers finite
    }
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_text.append(buffer, result.ptr);
}

void JsonWriter::Integer(int64_t value) {
    Separate();
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_text.append(buffer, result.ptr);
}

void JsonWriter::Bool(bool value) {
    Separate();
    m_text += value ? "true" : "false";
}

void JsonWriter::Float(float value) {
    // The shortest text that reads back as the same float.
    Separate();
    char buffer[32];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::isfinite(value) ? value : 0.0f);
    m_text.append(buffer, result.ptr);
}

void JsonWriter::Floats(std::span<const float> values) {
    BeginArray();
    for (float v : values) {
        Float(v);
    }
    EndArray();
}

void JsonWriter::Integers(std::span<const int> values) {
    BeginArray();
    for (int v : values) {
        Integer(v);
    }
    EndArray();
}

int BinaryBuffer::AddView(std::span<const uint8_t> bytes, Target target) {
    BufferView view{m_bytes.size(), bytes.size(), target};
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_bytes.resize(Padded(m_bytes.size()), 0);
    m_views.push_back(view);
    return static_cast<int>(m_views.size() - 1);
}

int BinaryBuffer::AddAccessor(Accessor accessor) {
    m_accessors.push_back(std::move(accessor));
    return static_cast<int>(m_accessors.size() - 1);
}

int BinaryBuffer::AddFloats(std::span<const float> values, std::string_view type, int components,
                            bool bounds, Target target) {
    Accessor accessor;
    accessor.view = AddView(values, target);
    accessor.componentType = kFloat;
    accessor.count = values.size() / static_cast<std::size_t>(components);
    accessor.type = type;
    if (bounds && accessor.count > 0) {
        accessor.min.assign(values.begin(), values.begin() + components);
        accessor.max = accessor.min;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::size_t c = i % static_cast<std::size_t>(components);
            accessor.min[c] = std::min(accessor.min[c], values[i]);
            accessor.max[c] = std::max(accessor.max[c], values[i]);
        }
    }
    return AddAccessor(std::move(accessor));
}

void BinaryBuffer::WriteViews(JsonWriter& json) const {
    json.BeginArray();
    for (const BufferView& view : m_views) {
        json.BeginObject();
        json.Key("buffer");
        json.Integer(0);
        json.Key("byteOffset");
        json.Integer(static_cast<int64_t>(view.offset));
        json.Key("byteLength");
        json.Integer(static_cast<int64_t>(view.length));
        if (view.target != Target::None) {
            json.Key("target");
            json.Integer(view.target == Target::Vertices ? kArrayBuffer : kElementArrayBuffer);
        }
        json.EndObject();
    }
    json.EndArray();
}

void BinaryBuffer::WriteAccessors(JsonWriter& json) const {
    json.BeginArray();
    for (const Accessor& a : m_accessors) {
        json.BeginObject();
        json.Key("bufferView");
        json.Integer(a.view);
        json.Key("componentType");
        json.Integer(a.componentType);
        json.Key("count");
        json.Integer(static_cast<int64_t>(a.count));
        json.Key("type");
        json.String(a.type);
        if (!a.min.empty()) {
            json.Key("min");
            json.Floats(a.min);
            json.Key("max");
            json.Floats(a.max);
        }
        json.EndObject();
    }
    json.EndArray();
}

std::vector<uint8_t> MakeGlb(std::string_view json, std::span<const uint8_t> bin) {
    const std::size_t jsonLength = Padded(json.size());
    const std::size_t binLength = Padded(bin.size());
    std::size_t total = kGlbHeaderSize + kChunkHeaderSize + jsonLength;
    if (!bin.empty()) {
        total += kChunkHeaderSize + binLength;
    }
    std::vector<uint8_t> out;
    out.reserve(total);
    PutU32(out, kGlbMagic);
    PutU32(out, kGlbVersion);
    PutU32(out, static_cast<uint32_t>(total));
    PutU32(out, static_cast<uint32_t>(jsonLength));
    PutU32(out, kJsonChunk);
    out.insert(out.end(), json.begin(), json.end());
    out.resize(kGlbHeaderSize + kChunkHeaderSize + jsonLength, ' ');
    if (!bin.empty()) {
        PutU32(out, static_cast<uint32_t>(binLength));
        PutU32(out, kBinChunk);
        out.insert(out.end(), bin.begin(), bin.end());
        out.resize(total, 0);
    }
    return out;
}

std::string EncodeUri(std::string_view name) {
    std::string out;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("-._~", c)) {
            out += c;
        } else {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%%%02X", byte);
            out += buffer;
        }
    }
    return out;
}

}  // namespace Export::Gltf
