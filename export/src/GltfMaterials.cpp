// glTF export, the materials: each diffuse texture a visible sub-mesh names becomes a PNG
// image and a material; sub-meshes without one share a plain material.
#include <algorithm>
#include <exception>
#include <memory>

#include "GltfDocument.h"
#include "base/parallel.h"
#include "base/text.h"
#include "dds/dds.h"

namespace Export::Gltf {
namespace {

// The texture file found below the folders of the loaded skins; null when there is none.
std::unique_ptr<PakMgr::IRead> TextureFile(const Source& source, const std::string& textureName) {
    for (PakMgr::ITreeNode* skinNode : source.skinNodes) {
        PakMgr::ITreeNode* folder = skinNode ? skinNode->GetParent() : nullptr;
        PakMgr::ITreeNode* node = folder ? folder->FindNode(textureName) : nullptr;
        if (!node) {
            continue;
        }
        std::unique_ptr<PakMgr::IRead> file = PakMgr::GetPakMgr()->LoadFile(node);
        if (file && !file->IsEmpty()) {
            return file;
        }
    }
    return nullptr;
}

// The view's alpha test draws texels whose alpha is above one half.
constexpr uint8_t kLowestDrawnAlpha = 128;

struct Encoded {
    std::vector<uint8_t> png;
    bool cutsOut = false;  // some texel is below the alpha test
};

// A DDS file decoded in software and encoded as PNG; empty when it can't be decoded (the
// sub-mesh then gets the plain material).
Encoded PngOf(PakMgr::IRead& file) {
    try {
        const Dds::DdsImage image = Dds::ParseDds(file, true);
        const std::vector<uint8_t> rgba = Dds::DecodeToRgba(image);
        Encoded out;
        for (std::size_t i = 3; i < rgba.size() && !out.cutsOut; i += 4) {
            out.cutsOut = rgba[i] < kLowestDrawnAlpha;
        }
        out.png = Dds::EncodePng(image.info.width, image.info.height, rgba);
        return out;
    } catch (const Except&) {
        return {};
    }
}

// Every diffuse texture name a visible sub-mesh uses, each once, in order of use.
std::vector<std::string> TextureNames(const Source& source) {
    std::vector<std::string> names;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        for (std::size_t i = 0; i < source.meshes[slot].subMeshes.size(); ++i) {
            const Material* material = MaterialFor(source.skins[slot], i);
            if (source.meshes[slot].subMeshes[i].visible && material &&
                !material->diffuseTexName.empty() &&
                std::find(names.begin(), names.end(), material->diffuseTexName) == names.end()) {
                names.push_back(material->diffuseTexName);
            }
        }
    }
    return names;
}

// The textures read from the archives in turn, then decoded and encoded on the workers the
// caller allows (one per core by default), the bulk of an export's time.
std::vector<Encoded> EncodeTextures(const Source& source, const std::vector<std::string>& names) {
    std::vector<std::unique_ptr<PakMgr::IRead>> files;
    for (const std::string& name : names) {
        files.push_back(TextureFile(source, name));
    }
    std::vector<Encoded> pngs(names.size());
    const unsigned workers =
        source.imageThreads == 0 ? Base::DefaultWorkers() : source.imageThreads;
    const std::vector<Base::Failure> failures =
        Base::ForEachIndex(files.size(), workers, [&](std::size_t i) {
            if (files[i]) {
                pngs[i] = PngOf(*files[i]);
            }
        });
    // Anything but a texture that doesn't decode (memory running out) fails the export.
    if (!failures.empty()) {
        std::rethrow_exception(failures.front().error);
    }
    return pngs;
}

}  // namespace

Materials BuildMaterials(Document& doc, const Source& source) {
    const std::vector<std::string> names = TextureNames(source);
    std::vector<Encoded> pngs = EncodeTextures(source, names);
    std::map<std::string, int> byTexture;
    Materials materials;
    int plain = -1;
    auto materialOf = [&](const Material* material) {
        if (material && !material->diffuseTexName.empty()) {
            const std::string& texture = material->diffuseTexName;
            auto found = byTexture.find(texture);
            if (found != byTexture.end()) {
                return found->second;
            }
            const auto at = std::find(names.begin(), names.end(), texture) - names.begin();
            Encoded& encoded = pngs[static_cast<std::size_t>(at)];
            if (!encoded.png.empty()) {
                doc.images.push_back({.name = Base::GbkToUtf8(texture),
                                      .png = std::move(encoded.png),
                                      .texture = texture});
                doc.materials.push_back({.name = Base::GbkToUtf8(texture),
                                         .image = static_cast<int>(doc.images.size() - 1),
                                         .mask = encoded.cutsOut});
                return byTexture[texture] = static_cast<int>(doc.materials.size() - 1);
            }
        }
        if (plain < 0) {
            doc.materials.push_back({.name = "untextured"});
            plain = static_cast<int>(doc.materials.size() - 1);
        }
        return plain;
    };
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const Mesh& mesh = source.meshes[slot];
        materials.bySubMesh[slot].assign(mesh.subMeshes.size(), -1);
        for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
            if (mesh.subMeshes[i].visible) {
                materials.bySubMesh[slot][i] = materialOf(MaterialFor(source.skins[slot], i));
            }
        }
    }
    return materials;
}

}  // namespace Export::Gltf
