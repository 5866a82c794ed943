// vell info: a model file's or texture's header as `key = value` lines.
#include <array>
#include <cstdio>
#include <string>

#include "Cli.h"
#include "base/text.h"
#include "dds/dds.h"
#include "model/records.h"

namespace Cli {
namespace {

// Collects the lines, so that nothing is printed for a file that fails to read.
class InfoWriter {
public:
    void Line(const std::string& key, const std::string& value) {
        m_text += key;
        m_text += " = ";
        m_text += value;
        m_text += '\n';
    }
    void Line(const std::string& key, uint64_t value) { Line(key, std::to_string(value)); }
    // An archive name or a name from a model file, shown as UTF-8.
    void Name(const std::string& key, const std::string& gbk) { Line(key, Base::GbkToUtf8(gbk)); }
    template <std::size_t N>
    void Floats(const std::string& key, const std::array<float, N>& values) {
        std::string text;
        for (float v : values) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%s%g", text.empty() ? "" : " ", v);
            text += buffer;
        }
        Line(key, text);
    }

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

std::string Indexed(const std::string& noun, std::size_t index) {
    return noun + "[" + std::to_string(index) + "]";
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

void MeshInfo(InfoWriter& info, PakMgr::IRead& reader) {
    Model::Mesh mesh;
    Model::ReadMesh(mesh, reader);
    info.Name("name", mesh.name);
    info.Line("version", mesh.version);
    info.Line("sub_meshes", mesh.subMeshCount);
    info.Line("bones", mesh.boneCount);
    info.Floats("box_min", mesh.boxMin);
    info.Floats("box_max", mesh.boxMax);
    for (std::size_t b = 0; b < mesh.bones.size(); ++b) {
        info.Name(Indexed("bone", b), mesh.bones[b].name);
    }
    for (std::size_t s = 0; s < mesh.subMeshes.size(); ++s) {
        const Model::SubMesh& sub = mesh.subMeshes[s];
        const std::string key = Indexed("sub_mesh", s);
        info.Name(key + ".name", sub.name);
        info.Line(key + ".vertices", sub.positions.size());
        info.Line(key + ".indices", sub.indices.size());
        info.Line(key + ".primitive",
                  sub.primitive == Model::kTriangleStrip ? "triangle_strip" : "triangles");
        info.Line(key + ".skinned", YesNo(!sub.boneMap.empty()));
        info.Line(key + ".bone_names", sub.boneMap.size());
    }
}

void SkinInfo(InfoWriter& info, PakMgr::IRead& reader) {
    Model::Skin skin;
    // Without a node no texture is loaded: only the names are wanted here.
    Model::ReadSkin(skin, reader, nullptr);
    info.Name("name", skin.name);
    info.Name("mesh", skin.meshName);
    info.Line("version", skin.version);
    info.Line("materials", skin.materialCount);
    for (std::size_t m = 0; m < skin.materials.size(); ++m) {
        const Model::Material& material = skin.materials[m];
        const std::string key = Indexed("material", m) + ".";
        info.Floats(key + "ambient", material.ambient);
        info.Floats(key + "diffuse", material.diffuse);
        info.Floats(key + "emissive_color", material.emissiveColor);
        info.Floats(key + "emissive_power",
                    std::array{material.emissivePower, material.emissivePowerRange,
                               material.emissiveAniSpeed});
        info.Floats(key + "skin_color", material.skinColor);
        info.Floats(key + "eye_color", material.eyeColor);
        info.Floats(key + "custom_color", material.customColor);
        info.Floats(key + "ani_time", std::array{material.aniTime});
        info.Name(key + "diffuse_texture", material.diffuseTexName);
        info.Name(key + "mask_texture", material.maskTexName);
        info.Name(key + "tattoo_texture", material.tattooTexName);
        info.Name(key + "emissive_texture", material.emissiveTexName);
    }
}

void AnimationInfo(InfoWriter& info, PakMgr::IRead& reader) {
    Model::Skeleton skeleton;
    Model::ReadAnimation(reader, skeleton);
    info.Name("name", skeleton.name);
    info.Line("version", skeleton.version);
    info.Line("bones", skeleton.boneCount);
    info.Line("animations", skeleton.animationCount);
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
        const Model::Bone& bone = skeleton.bones[b];
        info.Name(Indexed("bone", b), bone.name);
        info.Name(Indexed("bone", b) + ".parent",
                  bone.parent == Model::kNoParent ? std::string() : bone.parentName);
    }
    for (std::size_t a = 0; a < skeleton.animationNames.size(); ++a) {
        info.Name(Indexed("animation", a), skeleton.animationNames[a]);
        info.Line(Indexed("animation", a) + ".frames", skeleton.frameCounts[a]);
    }
}

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

void TextureInfo(InfoWriter& info, PakMgr::IRead& reader) {
    Dds::DdsImage image = Dds::ParseDds(reader, false);
    const Dds::DdsInfo& dds = image.info;
    info.Line("size", std::to_string(dds.width) + "x" + std::to_string(dds.height));
    info.Line("depth", dds.depth);
    info.Line("kind", Dds::KindName(dds.kind));
    info.Line("flags", Hex(dds.flags));
    info.Line("pixel_flags", Hex(dds.pixelFlags));
    info.Line("bit_count", dds.bitCount);
    info.Line("caps", Hex(dds.caps));
    info.Line("caps2", Hex(dds.caps2));
    info.Line("mip_count", dds.mipCount);
}

std::string Extension(const std::string& name) {
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : Base::LowerAscii(name.substr(dot + 1));
}

}  // namespace

int CmdInfo(std::span<char*> args) {
    Args a(args, {}, {"--no-version-check"});
    ExpectPositionals(a, {"GAME_DIR", "PATH"});
    PakMgr::IPakMgr& mgr = OpenGame(a.Positionals()[0]);
    const std::string& path = a.Positionals()[1];
    PakMgr::ITreeNode* node = NodeAt(mgr, path);
    const std::string kind = Extension(node->GetName());
    if (kind != "msh" && kind != "skn" && kind != "ani" && kind != "dds") {
        Fail(kUsage, "not a .msh, .skn, .ani or .dds file: " + path);
    }
    std::unique_ptr<PakMgr::IRead> reader = mgr.LoadFile(node);
    if (!reader || reader->IsEmpty()) {
        Fail(kFailed, "can't read " + path);
    }
    Model::versionCheck = !a.Has("--no-version-check");

    InfoWriter info;
    info.Line("path", path);
    info.Line("kind", kind);
    info.Line("bytes", reader->GetSize());
    if (kind == "msh") {
        MeshInfo(info, *reader);
    } else if (kind == "skn") {
        SkinInfo(info, *reader);
    } else if (kind == "ani") {
        AnimationInfo(info, *reader);
    } else {
        TextureInfo(info, *reader);
    }
    Output out;
    out.Put(info.Text());
    return kOk;
}

}  // namespace Cli
