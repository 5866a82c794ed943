// The skin: material k dresses sub-mesh k, so the materials follow the sub-meshes that were
// kept, left out or added. Each keeps the base's parameters, all fifteen, except the values
// the glTF changed: the glow (emissive factor and strength) and the colours the export
// keeps in the material's extras.
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

// A material for an added sub-mesh: the base material of the same glTF name, else the
// first material with the diffuse texture whose image the glTF material shows.
Model::MaterialDesc AddedMaterial(const BaseModel& base, const Document& doc, int material,
                                  Report& report) {
    const Material* in = material >= 0 && static_cast<std::size_t>(material) < doc.materials.size()
                             ? &doc.materials[static_cast<std::size_t>(material)]
                             : nullptr;
    const std::size_t count = std::min(base.skinDesc.materials.size(), base.materialOf.size());
    for (std::size_t m = 0; in && m < count; ++m) {
        if (base.materialOf[m] == in->name) {
            return base.skinDesc.materials[m];
        }
    }
    if (base.skinDesc.materials.empty()) {
        return {};
    }
    Model::MaterialDesc out = base.skinDesc.materials.front();
    if (in && in->baseImage >= 0 && static_cast<std::size_t>(in->baseImage) < doc.images.size()) {
        const std::string& image = doc.images[static_cast<std::size_t>(in->baseImage)].name;
        for (const Model::Material& m : base.skin.materials) {
            const std::string stem = Base::GbkToUtf8(m.diffuseTexName);
            if (!m.diffuseTexName.empty() && stem.substr(0, stem.rfind('.')) == image) {
                SetParam(out, "g_DiffuseTex", m.diffuseTexName);
                return out;
            }
        }
        report.Why("new texture", "image " + image +
                                      " is none of the base's textures: the new sub-mesh wears "
                                      "the first material's");
    }
    return out;
}

}  // namespace

bool ImportSkin(const BaseModel& base, const Document& doc, const MeshResult& mesh,
                Model::SkinDesc& out, Report& report) {
    out = base.skinDesc;
    out.materials.clear();
    const std::vector<Model::MaterialDesc>& materials = base.skinDesc.materials;
    for (std::size_t k = 0; k < mesh.source.size(); ++k) {
        const int from = mesh.source[k];
        if (from < 0) {
            out.materials.push_back(AddedMaterial(base, doc, mesh.addedMaterial[k], report));
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
    const bool changed = Model::WriteSkin(out) != Model::WriteSkin(base.skinDesc);
    if (changed) {
        report.Why("skin", "the skin's materials differ");
    }
    return changed;
}

}  // namespace Import::Detail
