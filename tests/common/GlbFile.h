// A .glb taken apart into its JSON and its binary chunk, to be edited and put together
// again: the tests make each edit an artist would make, on the file vell gltf wrote.
#pragma once

#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace TestUtil {

struct Glb {
    nlohmann::json json;
    std::vector<uint8_t> bin;

    static Glb Parse(const std::vector<uint8_t>& bytes) {
        auto word = [&](std::size_t at) {
            uint32_t w;
            std::memcpy(&w, bytes.data() + at, 4);
            return w;
        };
        const uint32_t jsonLength = word(12);
        Glb glb;
        glb.json = nlohmann::json::parse(bytes.begin() + 20, bytes.begin() + 20 + jsonLength);
        const std::size_t binAt = 20 + jsonLength;
        if (binAt + 8 <= bytes.size()) {
            const uint32_t binLength = word(binAt);
            glb.bin.assign(bytes.begin() + static_cast<long>(binAt + 8),
                           bytes.begin() + static_cast<long>(binAt + 8 + binLength));
        }
        return glb;
    }

    std::vector<uint8_t> Bytes() const {
        std::string text = json.dump();
        text.resize((text.size() + 3) / 4 * 4, ' ');
        std::vector<uint8_t> bin4 = bin;
        bin4.resize((bin4.size() + 3) / 4 * 4, 0);
        std::vector<uint8_t> out;
        auto put = [&](uint32_t w) {
            const auto* p = reinterpret_cast<const uint8_t*>(&w);
            out.insert(out.end(), p, p + 4);
        };
        put(0x46546C67);
        put(2);
        put(static_cast<uint32_t>(12 + 8 + text.size() + 8 + bin4.size()));
        put(static_cast<uint32_t>(text.size()));
        put(0x4E4F534A);
        out.insert(out.end(), text.begin(), text.end());
        put(static_cast<uint32_t>(bin4.size()));
        put(0x004E4942);
        out.insert(out.end(), bin4.begin(), bin4.end());
        return out;
    }

    // The accessor's first element in the buffer; the export packs elements tightly.
    template <class T>
    T* At(int accessor) {
        const auto& a = json["accessors"][accessor];
        const auto& view = json["bufferViews"][a["bufferView"].get<int>()];
        const std::size_t offset = view.value("byteOffset", 0) + a.value("byteOffset", 0);
        return reinterpret_cast<T*>(bin.data() + offset);
    }
    std::size_t Count(int accessor) const { return json["accessors"][accessor]["count"]; }

    // A new view and accessor over `bytes` appended to the buffer; its index.
    int Add(const std::vector<uint8_t>& bytes, int componentType, const char* type,
            std::size_t count) {
        while (bin.size() % 4 != 0) {
            bin.push_back(0);
        }
        json["bufferViews"].push_back(
            {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes.size()}});
        bin.insert(bin.end(), bytes.begin(), bytes.end());
        json["buffers"][0]["byteLength"] = bin.size();
        json["accessors"].push_back({{"bufferView", json["bufferViews"].size() - 1},
                                     {"componentType", componentType},
                                     {"type", type},
                                     {"count", count}});
        return static_cast<int>(json["accessors"].size() - 1);
    }
};

template <class T>
std::vector<uint8_t> BytesOf(const std::vector<T>& values) {
    std::vector<uint8_t> out(values.size() * sizeof(T));
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

}  // namespace TestUtil
