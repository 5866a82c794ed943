// Wavefront OBJ export: one file per visible sub-mesh, with its diffuse texture beside it.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/file.h"
#include "base/text.h"
#include "dds/dds.h"
#include "model/obj.h"
#include "model/object.h"

namespace Model {
namespace {

constexpr int kDecimals = 6;
// The view's alpha test draws texels whose alpha is above one half.
constexpr uint8_t kLowestDrawnAlpha = 128;
// The longest "%.6f" of a float (FLT_MAX has 39 integer digits) with sign and point.
constexpr std::size_t kNumberRoom = 48;

void Append(std::string& out, std::string_view text) {
    out.append(text);
}

void AppendNumber(std::string& out, float value) {
    char buffer[kNumberRoom];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                std::chars_format::fixed, kDecimals);
    out.append(buffer, result.ptr);
}

void AppendCorner(std::string& out, uint32_t vertex) {
    char buffer[12];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, vertex);
    const std::string_view number(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out.append(number);
    out.push_back('/');
    out.append(number);
    out.push_back('/');
    out.append(number);
}

// Vertex numbers are 1-based and not cut to 16 bits: index 65535 is vertex 65536.
void AppendFace(std::string& out, uint32_t a, uint32_t b, uint32_t c) {
    out.append("f ");
    AppendCorner(out, a);
    out.push_back(' ');
    AppendCorner(out, b);
    out.push_back(' ');
    AppendCorner(out, c);
    out.push_back('\n');
}

void AppendVectors(std::string& out, std::string_view tag, std::span<const Vec3> vectors) {
    for (const Vec3& p : vectors) {
        Append(out, tag);
        AppendNumber(out, -p[0]);
        out.push_back(' ');
        AppendNumber(out, p[1]);
        out.push_back(' ');
        AppendNumber(out, p[2]);
        out.push_back('\n');
    }
}

// Messages quote names in code page 936, as the loaders' do; paths here are UTF-8.
[[noreturn]] void CantWrite(const std::string& path, int error) {
    throw Except(ErrorKind::Io, "can't write %s: %s", Base::Utf8ToGbk(path).c_str(),
                 std::strerror(error));
}

void WriteFile(const std::string& path, std::string_view text) {
    Base::WriteWholeFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The texture node a material names below the skin's folder.
PakMgr::ITreeNode* TextureNode(const std::string& textureName, PakMgr::ITreeNode* skinNode) {
    if (textureName.empty() || !skinNode) {
        return nullptr;
    }
    PakMgr::ITreeNode* skinFolder = skinNode->GetParent();
    return skinFolder ? skinFolder->FindNode(textureName) : nullptr;
}

// Copies the material's diffuse texture out of the archives into the folder. A texture
// that can't be found or read is skipped; one that can't be written throws. Its name is
// claimed for the texture file itself: two skins' folders may each hold a file of that name.
void CopyTexture(const Material* material, PakMgr::ITreeNode* skinNode, const std::string& folder,
                 PakMgr::CutNames& cuts) {
    PakMgr::ITreeNode* texture =
        material ? TextureNode(material->diffuseTexName, skinNode) : nullptr;
    std::unique_ptr<PakMgr::IRead> file =
        texture ? PakMgr::GetPakMgr()->LoadFile(texture) : nullptr;
    if (!file) {
        return;
    }
    const std::string name =
        PakMgr::SafeFileName(texture->Name(), cuts, PakMgr::NodePath(texture, '/'));
    const std::string path = JoinPath(folder, name);
    if (!file->SaveToFile(path)) {
        CantWrite(path, errno);
    }
}

// A name is one word in OBJ and MTL files: a reader splits lines at spaces.
std::string OneWord(std::string name) {
    for (char& c : name) {
        if (c == ' ' || c == '\t') {
            c = '_';
        }
    }
    return name;
}

// Tells a texture's PNG copy from its DDS copy among the sources of claimed names.
constexpr char kAsPng[] = " as PNG";

struct PngFile {
    std::string name;  // empty when there is no texture to show
    bool cutsOut = false;
};

// A texture as a PNG beside the OBJ files, for tools that can't read DDS. A texture that
// can't be found or decoded is left out.
PngFile PngCopy(const std::string& textureName, PakMgr::ITreeNode* skinNode,
                const std::string& folder, PakMgr::CutNames& cuts) {
    PakMgr::ITreeNode* texture = TextureNode(textureName, skinNode);
    std::unique_ptr<PakMgr::IRead> file =
        texture ? PakMgr::GetPakMgr()->LoadFile(texture) : nullptr;
    if (!file) {
        return {};
    }
    Dds::PngPicture picture;
    try {
        picture = Dds::EncodePng(Dds::ParseDds(*file, false));
    } catch (const Except&) {
        return {};
    }
    if (picture.bytes.empty()) {
        return {};
    }
    const std::string name = texture->GetName();
    const std::size_t dot = name.rfind('.');
    // Claimed for the texture file: "a b.dds" and "a_b.dds" both want "a_b.png".
    PngFile png{PakMgr::SafeFileName(
        OneWord(dot == std::string::npos ? name : name.substr(0, dot)) + ".png", cuts,
        PakMgr::NodePath(texture, '/') + kAsPng)};
    png.cutsOut = picture.lowestAlpha < kLowestDrawnAlpha;
    WriteFile(JoinPath(folder, png.name),
              std::string_view(reinterpret_cast<const char*>(picture.bytes.data()),
                               picture.bytes.size()));
    return png;
}

void AppendColour(std::string& text, std::string_view tag, const Vec3& colour) {
    Append(text, tag);
    for (float c : colour) {
        text.push_back(' ');
        AppendNumber(text, c);
    }
    text.push_back('\n');
}

// The material: its diffuse texture (map_Kd, map_d when it cuts out) and its glow (Ke, and
// map_Ke for a glow texture).
std::string MtlText(const std::string& materialName, const Material* material,
                    PakMgr::ITreeNode* skinNode, const std::string& folder,
                    PakMgr::CutNames& cuts) {
    std::string text = "newmtl " + materialName + "\nKa 0 0 0\nKd 1 1 1\nKs 0 0 0\nillum 1\n";
    if (!material) {
        return text;
    }
    const PngFile png = PngCopy(material->diffuseTexName, skinNode, folder, cuts);
    if (!png.name.empty()) {
        text += "map_Kd " + png.name + "\n";
        if (png.cutsOut) {
            text += "map_d " + png.name + "\n";
        }
    }
    const PngFile glowPng = PngCopy(material->emissiveTexName, skinNode, folder, cuts);
    const Vec3 glow = Emission(*material, !glowPng.name.empty());
    if (glow != Vec3{0, 0, 0}) {
        AppendColour(text, "Ke", glow);
    }
    if (!glowPng.name.empty()) {
        text += "map_Ke " + glowPng.name + "\n";
    }
    return text;
}

// "<name>_NN.obj": the file a sub-mesh is written to, before it is made safe.
std::string ObjSource(const std::string& subMeshName, std::size_t index) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "_%.2zu.obj", index);
    return subMeshName + suffix;
}

}  // namespace

std::string ObjFileName(const std::string& subMeshName, std::size_t index, PakMgr::CutNames* cuts) {
    return PakMgr::SafeFileName(ObjSource(subMeshName, index), cuts);
}

void AppendObjText(std::string& out, const SubMesh& subMesh, std::string_view comment) {
    AppendObjText(out, subMesh, comment, {});
}

void AppendObjText(std::string& out, const SubMesh& subMesh, std::string_view comment,
                   const ObjMaterialRef& material) {
    // The mirror in x turns the faces against their normals; --mtl turns them back.
    const bool turn = !material.library.empty();
    const std::size_t vertices = subMesh.skinnedPositions.size();
    out.reserve(out.size() + 64 + vertices * 110 + subMesh.indices.size() * 12);
    Append(out, "# ");
    Append(out, comment);
    Append(out, "\n\n");
    if (turn) {
        Append(out, "mtllib ");
        Append(out, material.library);
        out.push_back('\n');
    }
    AppendVectors(out, "v ", subMesh.skinnedPositions);
    out.push_back('\n');
    AppendVectors(out, "vn ", subMesh.normals);
    out.push_back('\n');
    for (const Vec2& t : subMesh.texCoords) {
        Append(out, "vt ");
        AppendNumber(out, t[0]);
        out.push_back(' ');
        AppendNumber(out, 1.0f - t[1]);
        out.push_back('\n');
    }
    out.push_back('\n');
    Append(out, "g ");
    Append(out, Base::GbkToUtf8(subMesh.name));
    out.push_back('\n');
    if (turn) {
        Append(out, "usemtl ");
        Append(out, material.material);
        out.push_back('\n');
    }
    auto face = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (turn) {
            AppendFace(out, a, c, b);
        } else {
            AppendFace(out, a, b, c);
        }
    };

    const std::vector<uint16_t>& idx = subMesh.indices;
    auto vertex = [&](std::size_t i) { return uint32_t{idx[i]} + 1; };
    if (subMesh.primitive == kTriangles) {
        for (std::size_t t = 0; t < idx.size() / 3; ++t) {
            face(vertex(3 * t), vertex(3 * t + 1), vertex(3 * t + 2));
        }
        return;
    }
    for (std::size_t k = 2; k < idx.size(); ++k) {
        const uint32_t a = vertex(k - 2), b = vertex(k - 1), c = vertex(k);
        if (a == b || b == c || a == c) {
            continue;
        }
        if (k % 2 == 1) {
            face(a, b, c);
        } else {
            face(c, b, a);
        }
    }
}

void CVellModel::ExportSubMesh(std::size_t index, const SubMesh& subMesh, const Material* material,
                               const std::string& comment, PakMgr::ITreeNode* node,
                               const std::string& folder, bool materials, PakMgr::CutNames& cuts) {
    if (!subMesh.visible) {
        return;
    }
    std::string text;
    std::string objName;
    if (materials) {
        // One word for the mtllib line, claimed for the sub-mesh: "x y" and "x_y" both want
        // "x_y_00.obj". The .mtl is named after its OBJ file, so no two sub-meshes share one.
        const std::string source = ObjSource(subMesh.name, index);
        objName = PakMgr::SafeFileName(OneWord(source), cuts, source);
        const std::string stem = objName.substr(0, objName.size() - 4);
        AppendObjText(text, subMesh, comment, {stem + ".mtl", stem});
        WriteFile(JoinPath(folder, stem + ".mtl"), MtlText(stem, material, node, folder, cuts));
    } else {
        objName = ObjFileName(subMesh.name, index, &cuts);
        AppendObjText(text, subMesh, comment);
    }
    WriteFile(JoinPath(folder, objName), text);
    CopyTexture(material, node, folder, cuts);
}

bool CVellModel::ExportObj(const std::string& comment, PakMgr::ITreeNode* node,
                           const std::string& folder, bool materials,
                           std::vector<PakMgr::CutNames::Renamed>* renamed) {
    const std::string utf8Comment = Base::GbkToUtf8(comment);
    // Every name is claimed: two that meet once made safe or cut are told apart, in the
    // order written.
    PakMgr::CutNames cuts;
    // The plain OBJ is what the browser writes, without the attachment; the artists' one
    // holds it too, where it hangs.
    const std::size_t last = materials ? kAttachment : kLastPart;
    for (std::size_t slot = kWholeModel; slot <= last; ++slot) {
        const Mesh& mesh = m_meshes[slot];
        // Each part's textures lie below its own skin's folder, whichever file was picked.
        PakMgr::ITreeNode* skinNode = m_skins[slot].node ? m_skins[slot].node : node;
        for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
            ExportSubMesh(i, mesh.subMeshes[i], MaterialFor(m_skins[slot], i), utf8Comment,
                          skinNode, folder, materials, cuts);
        }
    }
    if (renamed) {
        for (const PakMgr::CutNames::Renamed& r : cuts.Renames()) {
            renamed->push_back({Base::GbkToUtf8(r.source), r.name});
        }
    }
    return true;
}

}  // namespace Model
