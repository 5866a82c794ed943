#include "ByteSink.h"
#include "model/writer.h"

namespace Model {
namespace {

constexpr std::size_t kNameField = Model::Layout::kNameSize;
constexpr std::size_t kHeaderUnused =
    Model::Layout::kHeaderBlockSize - sizeof(Model::Layout::SkinHeader);
constexpr std::size_t kMaterialUnused = Model::Layout::kHeaderBlockSize - kMaterialHeaderSize;

// A u32 length that counts the terminating zero, then the bytes.
void PutCounted(ByteSink& out, std::string_view text, bool terminated) {
    out.Put(static_cast<uint32_t>(text.size() + (terminated ? 1 : 0)));
    out.PutBytes(text);
    if (terminated) {
        out.Zeros(1);
    }
}

struct ValueWriter {
    ByteSink& out;
    void operator()(const Vec4& colour) const { out.Put(colour); }
    void operator()(float scalar) const { out.Put(scalar); }
    void operator()(const std::string& file) const { PutCounted(out, file, true); }
};

void PutMaterial(ByteSink& out, const MaterialDesc& material) {
    out.Put(material.header);
    out.Zeros(kMaterialUnused);
    out.Put(material.paramCount.value_or(static_cast<uint32_t>(material.params.size())));
    for (const SkinParam& param : material.params) {
        PutCounted(out, param.name, param.terminated);
        out.Put(param.valueType);
        std::visit(ValueWriter{out}, param.value);
    }
}

}  // namespace

SkinParam ColourParam(std::string name, Vec4 colour) {
    return SkinParam{.name = std::move(name), .value = colour};
}

SkinParam ScalarParam(std::string name, float value) {
    return SkinParam{.name = std::move(name), .value = value};
}

SkinParam TextParam(std::string name, std::string file) {
    return SkinParam{.name = std::move(name), .value = std::move(file)};
}

std::vector<uint8_t> WriteSkin(const SkinDesc& skin) {
    ByteSink out;
    out.PutField(skin.name, kNameField);
    out.PutField(skin.meshName, kNameField);
    out.Put(skin.version);
    out.Put(skin.materialCount.value_or(static_cast<uint32_t>(skin.materials.size())));
    out.Zeros(kHeaderUnused);
    for (const MaterialDesc& material : skin.materials) {
        PutMaterial(out, material);
    }
    return out.Take();
}

}  // namespace Model
