// glTF export, the materials: one per skin material a visible sub-mesh uses, named after its
// diffuse texture, with its glow; every texture it names becomes a PNG image, the mask and
// tattoo textures and the colours no glTF property draws are named in its extras.
#include <algorithm>
#include <exception>
#include <memory>
#include <set>

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
        Dds::PngPicture picture = Dds::EncodePng(Dds::ParseDds(file, false));
        return {std::move(picture.bytes), picture.lowestAlpha < kLowestDrawnAlpha};
    } catch (const Except&) {
        return {};
    }
}

// Every texture file a skin material names, in the order its images are made.
std::vector<const std::string*> TexturesOf(const Material& material) {
    return {&material.diffuseTexName, &material.emissiveTexName, &material.maskTexName,
            &material.tattooTexName};
}

// Every texture name a visible sub-mesh's material uses, each once, in order of use.
std::vector<std::string> TextureNames(const Source& source) {
    std::vector<std::string> names;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        for (std::size_t i = 0; i < source.meshes[slot].subMeshes.size(); ++i) {
            const Material* material = MaterialFor(source.skins[slot], i);
            if (!source.meshes[slot].subMeshes[i].visible || !material) {
                continue;
            }
            for (const std::string* name : TexturesOf(*material)) {
                if (!name->empty() && std::find(names.begin(), names.end(), *name) == names.end()) {
                    names.push_back(*name);
                }
            }
        }
    }
    return names;
}

// The textures read from the archives in turn, then decoded and encoded on the workers the
// caller allows (one per core by default), the bulk of an export's time.
std::vector<Encoded> EncodeTextures(const Source& source, const std::vector<std::string>& names) {
    std::vector<std::unique_ptr<PakMgr::IRead>> files;
    files.reserve(names.size());
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

// Makes the materials and, as they first need them, the images.
class MaterialMaker {
public:
    MaterialMaker(Document& doc, const Source& source)
        : m_doc(doc), m_names(TextureNames(source)), m_pngs(EncodeTextures(source, m_names)) {}

    // The glTF material of a skin material; one plain material serves every sub-mesh that
    // has none.
    int MaterialOf(const Material* material) {
        if (!material) {
            if (m_plain < 0) {
                m_plain = Add({.name = UniqueName("untextured")});
            }
            return m_plain;
        }
        auto found = m_made.find(material);
        if (found != m_made.end()) {
            return found->second;
        }
        return m_made[material] = Add(Make(*material));
    }

private:
    int Add(MaterialEntry entry) {
        m_doc.materials.push_back(std::move(entry));
        return static_cast<int>(m_doc.materials.size() - 1);
    }

    // The texture's image, made once; -1 when it can't be read or decoded.
    int ImageOf(const std::string& texture) {
        auto found = m_images.find(texture);
        if (found != m_images.end()) {
            return found->second;
        }
        const auto at = std::find(m_names.begin(), m_names.end(), texture) - m_names.begin();
        Encoded& encoded = m_pngs[static_cast<std::size_t>(at)];
        int image = -1;
        if (!encoded.png.empty()) {
            m_doc.images.push_back(
                {.name = TextureStem(texture), .png = std::move(encoded.png), .texture = texture});
            image = static_cast<int>(m_doc.images.size() - 1);
        }
        m_cutsOut[texture] = encoded.cutsOut;
        return m_images[texture] = image;
    }

    // "stem", then "stem_2", "stem_3"... for further materials of the same texture.
    std::string UniqueName(const std::string& stem) {
        std::string name = stem;
        for (int n = 2; !m_used.insert(name).second; ++n) {
            name = stem + "_" + std::to_string(n);
        }
        return name;
    }

    MaterialEntry Make(const Material& material);

    Document& m_doc;
    std::vector<std::string> m_names;
    std::vector<Encoded> m_pngs;
    std::map<std::string, int> m_images;
    std::map<std::string, bool> m_cutsOut;
    std::map<const Material*, int> m_made;
    std::set<std::string> m_used;
    int m_plain = -1;
};

MaterialEntry MaterialMaker::Make(const Material& material) {
    MaterialEntry entry{.fromSkin = true};
    const std::string& diffuse = material.diffuseTexName;
    entry.name = UniqueName(diffuse.empty() ? "untextured" : TextureStem(diffuse));
    if (!diffuse.empty()) {
        entry.image = ImageOf(diffuse);
        entry.mask = entry.image >= 0 && m_cutsOut[diffuse];
    }
    if (!material.emissiveTexName.empty()) {
        entry.emissiveImage = ImageOf(material.emissiveTexName);
    }
    // glTF's factor stops at 1: a brighter glow is the largest share as the strength and
    // the colour divided by it.
    const Vec3 glow = Emission(material, entry.emissiveImage >= 0);
    const float largest = std::max({glow[0], glow[1], glow[2]});
    entry.emissiveStrength = std::max(largest, 1.0f);
    for (std::size_t c = 0; c < glow.size(); ++c) {
        entry.emissiveFactor[c] = glow[c] / entry.emissiveStrength;
    }
    const std::pair<const char*, const std::string*> extras[] = {
        {"maskTexture", &material.maskTexName}, {"tattooTexture", &material.tattooTexName}};
    for (const auto& [key, texture] : extras) {
        if (!texture->empty()) {
            entry.extraTextures.push_back({key, TextureStem(*texture), ImageOf(*texture)});
        }
    }
    entry.colours = {{"ambient", material.ambient},
                     {"diffuse", material.diffuse},
                     {"skinColor", material.skinColor},
                     {"eyeColor", material.eyeColor},
                     {"customColor", material.customColor}};
    return entry;
}

}  // namespace

Materials BuildMaterials(Document& doc, const Source& source) {
    MaterialMaker maker(doc, source);
    Materials materials;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const Mesh& mesh = source.meshes[slot];
        materials.bySubMesh[slot].assign(mesh.subMeshes.size(), -1);
        for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
            if (mesh.subMeshes[i].visible) {
                materials.bySubMesh[slot][i] = maker.MaterialOf(MaterialFor(source.skins[slot], i));
            }
        }
    }
    return materials;
}

}  // namespace Export::Gltf
