// The skin: material k dresses sub-mesh k, so the materials follow the sub-meshes that were
// kept, left out or added. Each keeps the base's parameters, all fifteen, except the values
// the glTF changed: the glow (emissive factor and strength) and the colours the export
// keeps in the material's extras. An added sub-mesh's material is the base's of its glTF
// material's name, else the first material with the glTF's values over it, wearing the
// base texture its image is named as or a new texture made from the image.
#include <algorithm>
#include <cmath>

#include "Plan.h"
#include "base/text.h"

namespace Import::Detail {
namespace {

struct ColourKey {
    const char* extras;
    const char* param;
    Vec4 Model::Material::*value;
};

constexpr ColourKey kColours[] = {
    {"ambient", "g_MaterialAmbient", &Model::Material::ambient},
    {"diffuse", "g_MaterialDiffuse", &Model::Material::diffuse},
    {"skinColor", "g_SkinColor", &Model::Material::skinColor},
    {"eyeColor", "g_EyeColor", &Model::Material::eyeColor},
    {"customColor", "g_CustomColor", &Model::Material::customColor},
};

constexpr float kColourTolerance = 1e-5f;

bool Near(float a, float b) {
    return std::abs(a - b) <= kColourTolerance * std::max(1.0f, std::abs(b));
}

Model::SkinParam* FindParam(Model::MaterialDesc& material, const char* name) {
    for (Model::SkinParam& p : material.params) {
        if (p.name.substr(0, p.name.find('\0')) == name) {
            return &p;
        }
    }
    return nullptr;
}

template <class T>
void SetParam(Model::MaterialDesc& material, const char* name, const T& value) {
    if (Model::SkinParam* p = FindParam(material, name)) {
        p->value = value;
        return;
    }
    material.params.push_back({.name = name, .value = value});
}

const Material* GltfMaterialNamed(const Document& doc, const std::string& name) {
    for (const Material& m : doc.materials) {
        if (m.name == name) {
            return &m;
        }
    }
    return nullptr;
}

// The glTF's values over the base material's; whether any differed.
bool ApplyMaterial(const Model::Material& base, const Material& in, Model::MaterialDesc& out,
                   const std::string& who, Report& report) {
    bool changed = false;
    for (const ColourKey& key : kColours) {
        const auto found = in.colours.find(key.extras);
        if (found == in.colours.end()) {
            continue;
        }
        const Vec4& old = base.*key.value;
        if (!std::equal(old.begin(), old.end(), found->second.begin(), Near)) {
            SetParam(out, key.param, found->second);
            changed = true;
            report.Why("colour " + who, who + ": " + key.extras + " differs");
        }
    }
    const Vec3 glow = Model::Emission(base, !base.emissiveTexName.empty());
    if (in.hasEmission && !std::equal(glow.begin(), glow.end(), in.emission.begin(), Near)) {
        float power = base.emissivePower;
        if (!(power > 0) || !std::isfinite(power)) {
            power = 1;
            SetParam(out, "g_EmissivePower", power);
        }
        const Vec4 colour{in.emission[0] / power, in.emission[1] / power, in.emission[2] / power,
                          base.emissiveColor[3]};
        SetParam(out, "g_EmissiveColor", colour);
        changed = true;
        report.Why("glow " + who, who + ": the glow differs");
    }
    return changed;
}

// A name for a texture's file can't make a folder or hold what a file system refuses.
bool FitsAFileName(const std::string& utf8) {
    return !utf8.empty() && utf8 != "." && utf8 != ".." &&
           std::none_of(utf8.begin(), utf8.end(), [](char c) {
               return c == '/' || c == '\\' || static_cast<unsigned char>(c) < ' ';
           });
}

// The stem a new texture is named by: its image's name without a picture file's extension
// (a tool names an image after the file it loaded), else its material's name.
std::string ImageStem(const Image& image, const Material& material) {
    std::string stem = image.name.empty() ? material.name : image.name;
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        const std::string ending = Base::LowerAscii(stem.substr(dot));
        for (const char* picture : {".png", ".jpg", ".jpeg", ".bmp", ".tga", ".dds"}) {
            if (ending == picture) {
                return stem.substr(0, dot);
            }
        }
    }
    return stem;
}

constexpr int kMostSuffixes = 999;
constexpr char kTextureEnding[] = ".dds";

// The materials of added sub-meshes, and the new textures they name.
class AddedMaterials {
public:
    AddedMaterials(const BaseModel& base, const Document& doc, Report& report);
    // The base material of the glTF material's name, else the first material with the
    // glTF's values over it, wearing the texture its image is.
    Model::MaterialDesc Make(int material);
    std::vector<NewTexture> TakeTextures() { return std::move(m_textures); }

private:
    std::string TextureFor(std::size_t image, const Material& in);
    std::string FreeName(const std::string& stem, const std::string& what) const;

    const BaseModel& m_base;
    const Document& m_doc;
    Report& m_report;
    PakMgr::ITreeNode* m_folder = nullptr;  // where new textures go
    PakMgr::ITreeNode* m_like = nullptr;    // the texture whose format they take
    std::vector<std::string> m_names;       // the new textures' names, by m_textures
    std::vector<NewTexture> m_textures;
};

// New textures go beside the first material's diffuse texture, the model's own texture
// folder, and take its format; without one, into the skin's folder.
AddedMaterials::AddedMaterials(const BaseModel& base, const Document& doc, Report& report)
    : m_base(base), m_doc(doc), m_report(report), m_folder(base.skinNode->GetParent()) {
    if (!base.skin.materials.empty() && m_folder) {
        const std::string& diffuse = base.skin.materials.front().diffuseTexName;
        m_like = diffuse.empty() ? nullptr : m_folder->FindNode(diffuse);
        if (m_like && m_like->GetParent()) {
            m_folder = m_like->GetParent();
        }
    }
}

Model::MaterialDesc AddedMaterials::Make(int material) {
    const Material* in =
        material >= 0 && static_cast<std::size_t>(material) < m_doc.materials.size()
            ? &m_doc.materials[static_cast<std::size_t>(material)]
            : nullptr;
    const std::size_t count = std::min(m_base.skinDesc.materials.size(), m_base.materialOf.size());
    for (std::size_t m = 0; in && m < count; ++m) {
        if (m_base.materialOf[m] == in->name) {
            return m_base.skinDesc.materials[m];
        }
    }
    if (m_base.skinDesc.materials.empty()) {
        return {};
    }
    Model::MaterialDesc out = m_base.skinDesc.materials.front();
    if (!in) {
        return out;
    }
    if (in->baseImage >= 0 && static_cast<std::size_t>(in->baseImage) < m_doc.images.size()) {
        SetParam(out, "g_DiffuseTex", TextureFor(static_cast<std::size_t>(in->baseImage), *in));
    }
    if (!m_base.skin.materials.empty()) {
        ApplyMaterial(m_base.skin.materials.front(), *in, out, "material " + in->name, m_report);
    }
    return out;
}

// The texture an added material's image is: the base's of its name (the one the import
// repaints when its pixels differ), else a new one made from it.
std::string AddedMaterials::TextureFor(std::size_t image, const Material& in) {
    const std::string& name = m_doc.images[image].name;
    for (const std::string& texture : TextureNames(m_base.skin)) {
        if (TextureStem(texture) == name) {
            return texture;
        }
    }
    for (std::size_t t = 0; t < m_textures.size(); ++t) {
        if (m_textures[t].image == image) {
            return m_names[t];
        }
    }
    const std::string stem = ImageStem(m_doc.images[image], in);
    const std::string what = "image " + (name.empty() ? std::to_string(image) : name);
    if (!FitsAFileName(stem)) {
        Refuse(ErrorKind::Input, what + ": a texture can't be named " + stem +
                                     " (no '/', '\\' or control characters): rename it");
    }
    std::string texture = FreeName(stem, what);
    const std::string folder = m_folder ? ArchivePath(m_folder) : std::string();
    const std::string path = (folder.empty() ? "" : folder + "/") + Base::GbkToUtf8(texture);
    m_names.push_back(texture);
    m_textures.push_back({.image = image, .path = path, .like = m_like});
    m_report.Why("new texture", what + " is none of the base's textures: it becomes " + path);
    return texture;
}

// The stem as a texture's name in code page 936, in lower case as the model looks textures
// up, numbered from _2 while the name is taken: by a file the model would find instead (any
// below the skin's folder) or by another new texture.
std::string AddedMaterials::FreeName(const std::string& stem, const std::string& what) const {
    PakMgr::ITreeNode* skinFolder = m_base.skinNode->GetParent();
    for (int n = 1; n <= kMostSuffixes; ++n) {
        const std::string suffix = n == 1 ? "" : "_" + std::to_string(n);
        std::string name = Base::LowerAscii(GameName(stem + suffix + kTextureEnding, what));
        const bool taken = (skinFolder && skinFolder->FindNode(name)) ||
                           (m_folder && m_folder->FindChild(name)) ||
                           std::find(m_names.begin(), m_names.end(), name) != m_names.end();
        if (!taken) {
            return name;
        }
    }
    Refuse(ErrorKind::Input,
           what + ": every texture name from " + stem + kTextureEnding + " on is taken: rename it");
}

}  // namespace

bool ImportSkin(const BaseModel& base, const Document& doc, const MeshResult& mesh,
                Model::SkinDesc& out, std::vector<NewTexture>& added, Report& report) {
    AddedMaterials addedMaterials(base, doc, report);
    out = base.skinDesc;
    out.materials.clear();
    const std::vector<Model::MaterialDesc>& materials = base.skinDesc.materials;
    for (std::size_t k = 0; k < mesh.source.size(); ++k) {
        const int from = mesh.source[k];
        if (from < 0) {
            out.materials.push_back(addedMaterials.Make(mesh.addedMaterial[k]));
            continue;
        }
        const auto m = static_cast<std::size_t>(from);
        if (m >= materials.size()) {
            continue;  // a sub-mesh without a material stays without
        }
        Model::MaterialDesc material = materials[m];
        const Material* in =
            m < base.materialOf.size() ? GltfMaterialNamed(doc, base.materialOf[m]) : nullptr;
        if (in && m < base.skin.materials.size()) {
            ApplyMaterial(base.skin.materials[m], *in, material, "material " + base.materialOf[m],
                          report);
        }
        out.materials.push_back(std::move(material));
    }
    // Materials beyond the sub-meshes dress nothing; they stay.
    for (std::size_t m = base.mesh.subMeshes.size(); m < materials.size(); ++m) {
        out.materials.push_back(materials[m]);
    }
    added = addedMaterials.TakeTextures();
    const bool changed = Model::WriteSkin(out) != Model::WriteSkin(base.skinDesc);
    if (changed) {
        report.Why("skin", "the skin's materials differ");
    }
    return changed;
}

}  // namespace Import::Detail
