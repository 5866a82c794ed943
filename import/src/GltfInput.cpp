// The glTF read with tinygltf (over the project's nlohmann JSON) and checked: every accessor
// against its view and buffer, every index against the vertices, every number finite, before
// anything is sized by a count. Images are kept as their files' bytes; decoding them is left
// to whoever compares them.
#include "GltfInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#define TINYGLTF_IMPLEMENTATION
#include "GltfAccessors.h"
#include "GltfAnimations.h"

#include "base/except.h"
#include "export/gltf_math.h"
#include "model/pose.h"

namespace Import::Detail {
namespace {

namespace tg = tinygltf;

constexpr std::size_t kCopySuffixDigits = 3;
constexpr int kTriangleMode = TINYGLTF_MODE_TRIANGLES;
constexpr int kStripMode = TINYGLTF_MODE_TRIANGLE_STRIP;
// A side file (.bin, image) larger than this is refused before it is read.
constexpr std::uintmax_t kMaxSideFile = 1u << 30;

// Side files are read only from the glTF's own folder, by plain relative names.
struct SideFiles {
    std::filesystem::path folder;
};

bool FileExists(const std::string& name, void* user) {
    const auto* side = static_cast<SideFiles*>(user);
    std::error_code ec;
    return std::filesystem::is_regular_file(side->folder / name, ec);
}

std::string ExpandPath(const std::string& name, void*) {
    return name;
}

bool SafeName(const std::string& name) {
    const std::filesystem::path path(name);
    if (name.empty() || path.is_absolute()) {
        return false;
    }
    return std::none_of(path.begin(), path.end(), [](const auto& part) { return part == ".."; });
}

bool ReadSide(std::vector<unsigned char>* out, std::string* err, const std::string& name,
              void* user) {
    const auto* side = static_cast<SideFiles*>(user);
    // tinygltf asks with the folder it was given in front; that folder is ours.
    std::string relative = name;
    const std::string prefix = side->folder.string() + "/";
    if (relative.starts_with(prefix)) {
        relative = relative.substr(prefix.size());
    }
    std::error_code ec;
    const std::filesystem::path path = side->folder / relative;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!SafeName(relative) || ec || size > kMaxSideFile) {
        *err += "can't read the side file " + relative + "\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    out->resize(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(size))) {
        *err += "can't read the side file " + relative + "\n";
        return false;
    }
    return true;
}

bool RefuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    *err += "nothing is written while reading\n";
    return false;
}

// Images in a buffer view are taken from it later, once the view is checked (tinygltf
// hands them over unchecked); images of their own files are kept as read.
bool KeepImageBytes(tg::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
    if (image->bufferView < 0) {
        image->image.assign(bytes, bytes + std::max(size, 0));
    }
    image->width = -1;
    image->height = -1;
    return true;
}

// The node's matrix in the file's frame, row vectors as the model's matrices are.
Matrix LocalMatrix(const tg::Node& node) {
    if (node.matrix.size() == 16) {
        return NodeMatrix(node);
    }
    return Export::Gltf::Compose(NodeTrs(node));
}

Vec3 Apply(const Matrix& m, const Vec3& p, float w) {
    return {p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + w * m[12],
            p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + w * m[13],
            p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + w * m[14]};
}

struct Reader {
    const tg::Model& model;
    float scale;
    Accessors accessors{model};
    std::vector<int> parents;

    void ReadPrimitive(const tg::Primitive& in, Primitive& out, const std::string& who,
                       const std::optional<Matrix>& place) const;
    void ReadInfluences(const tg::Primitive& in, Primitive& out, const std::string& who) const;
    std::vector<uint32_t> Triangles(const tg::Primitive& in, std::size_t vertices,
                                    const std::string& who) const;
    std::optional<Matrix> WorldOf(int node) const;
};

// A vertex point of the file in the game's frame: scaled back and mirrored back in z.
Vec3 GamePoint(const Vec3& p, float scale) {
    return {p[0] / scale, p[1] / scale, -p[2] / scale};
}

Vec3 GameDirection(const Vec3& d) {
    return {d[0], d[1], -d[2]};
}

std::vector<Vec3> Vectors(const std::vector<float>& flat) {
    std::vector<Vec3> out(flat.size() / 3);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = {flat[3 * i], flat[3 * i + 1], flat[3 * i + 2]};
    }
    return out;
}

std::vector<uint32_t> Reader::Triangles(const tg::Primitive& in, std::size_t vertices,
                                        const std::string& who) const {
    std::vector<uint32_t> corners;
    if (in.indices >= 0) {
        corners = accessors.Integers(in.indices, 1, who + " indices");
    } else {
        corners.resize(vertices);
        for (std::size_t i = 0; i < vertices; ++i) {
            corners[i] = static_cast<uint32_t>(i);
        }
    }
    for (uint32_t c : corners) {
        if (c >= vertices) {
            Bad(who + ": index " + std::to_string(c) + " past the " + std::to_string(vertices) +
                " vertices");
        }
    }
    std::vector<uint32_t> out;
    const int mode = in.mode < 0 ? kTriangleMode : in.mode;
    if (mode == kTriangleMode) {
        out.reserve(corners.size());
        for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
            // The export turned (a, b, c) into (a, c, b).
            out.insert(out.end(), {corners[t], corners[t + 2], corners[t + 1]});
        }
    } else if (mode == kStripMode) {
        for (std::size_t k = 2; k < corners.size(); ++k) {
            const bool even = k % 2 == 0;
            const uint32_t a = even ? corners[k - 2] : corners[k - 1];
            const uint32_t b = even ? corners[k - 1] : corners[k - 2];
            out.insert(out.end(), {a, corners[k], b});
        }
    } else {
        Bad(who + ": primitives of mode " + std::to_string(mode) + " are not triangles");
    }
    return out;
}

void Reader::ReadInfluences(const tg::Primitive& in, Primitive& out, const std::string& who) const {
    const std::size_t count = out.positions.size();
    for (std::size_t set = 0; set < kMaxGltfInfluences / 4; ++set) {
        const auto joints = in.attributes.find("JOINTS_" + std::to_string(set));
        const auto weights = in.attributes.find("WEIGHTS_" + std::to_string(set));
        if (joints == in.attributes.end() || weights == in.attributes.end()) {
            break;
        }
        const std::vector<uint32_t> j = accessors.Integers(joints->second, 4, who + " joints");
        const std::vector<float> w = accessors.Floats(weights->second, 4, who + " weights");
        if (j.size() != count * 4 || w.size() != count * 4) {
            Bad(who + ": joints or weights not one a vertex");
        }
        out.influences.resize(count);
        for (std::size_t v = 0; v < count; ++v) {
            for (std::size_t k = 0; k < 4; ++k) {
                if (!(w[4 * v + k] > 0)) {
                    continue;
                }
                Influences& list = out.influences[v];
                list.joint[list.count] = j[4 * v + k];
                list.weight[list.count] = w[4 * v + k];
                ++list.count;
            }
        }
    }
}

void Reader::ReadPrimitive(const tg::Primitive& in, Primitive& out, const std::string& who,
                           const std::optional<Matrix>& place) const {
    const auto position = in.attributes.find("POSITION");
    if (position == in.attributes.end()) {
        Bad(who + ": a primitive without positions");
    }
    out.positions = Vectors(accessors.Floats(position->second, 3, who + " positions"));
    const std::size_t count = out.positions.size();
    if (const auto n = in.attributes.find("NORMAL"); n != in.attributes.end()) {
        out.normals = Vectors(accessors.Floats(n->second, 3, who + " normals"));
    }
    out.normals.resize(count, Vec3{0, 0, 0});
    if (const auto t = in.attributes.find("TEXCOORD_0"); t != in.attributes.end()) {
        const std::vector<float> flat =
            accessors.Floats(t->second, 2, who + " texture coordinates");
        out.texCoords.resize(flat.size() / 2);
        for (std::size_t i = 0; i < out.texCoords.size(); ++i) {
            out.texCoords[i] = {flat[2 * i], flat[2 * i + 1]};
        }
    }
    out.texCoords.resize(count, Vec2{0, 0});
    if (out.normals.size() != count || out.texCoords.size() != count) {
        Bad(who + ": attributes of different counts");
    }
    for (std::size_t i = 0; i < count; ++i) {
        Vec3 p = out.positions[i];
        Vec3 n = out.normals[i];
        if (place) {
            p = Apply(*place, p, 1);
            const Vec3 turned = Apply(*place, n, 0);
            const Vec4 unit = Export::Gltf::Normalized({turned[0], turned[1], turned[2], 0});
            n = {unit[0], unit[1], unit[2]};
        }
        out.positions[i] = GamePoint(p, scale);
        out.normals[i] = GameDirection(n);
    }
    ReadInfluences(in, out, who);
    out.triangles = Triangles(in, count, who);
    out.material = in.material;
    if (in.extras.IsObject()) {
        if (const tg::Value& name = in.extras.Get("name"); name.IsString()) {
            out.extrasName = name.Get<std::string>();
        }
        if (const tg::Value& sub = in.extras.Get("subMesh"); sub.IsInt()) {
            out.extrasSubMesh = sub.Get<int>();
        }
    }
}

// The node's placement in the scene; none when it is the identity.
std::optional<Matrix> Reader::WorldOf(int node) const {
    Matrix world = Model::kIdentity;
    bool moved = false;
    // A parent list with a cycle is cut after as many steps as there are nodes.
    for (std::size_t steps = 0; node >= 0 && steps < model.nodes.size(); ++steps) {
        const Matrix local = LocalMatrix(model.nodes[static_cast<std::size_t>(node)]);
        moved = moved || local != Model::kIdentity;
        world = Model::Multiply(world, local);
        node = parents[static_cast<std::size_t>(node)];
    }
    return moved ? std::optional<Matrix>(world) : std::nullopt;
}

std::vector<int> Parents(const tg::Model& model) {
    std::vector<int> parents(model.nodes.size(), -1);
    for (std::size_t i = 0; i < model.nodes.size(); ++i) {
        for (int child : model.nodes[i].children) {
            if (child < 0 || static_cast<std::size_t>(child) >= model.nodes.size()) {
                Bad("node " + std::to_string(i) + " has a child that is no node");
            }
            parents[static_cast<std::size_t>(child)] = static_cast<int>(i);
        }
    }
    return parents;
}

std::vector<Mesh> ReadMeshes(const Reader& reader) {
    const tg::Model& model = reader.model;
    std::vector<Mesh> meshes;
    for (std::size_t n = 0; n < model.nodes.size(); ++n) {
        const tg::Node& node = model.nodes[n];
        if (node.mesh < 0) {
            continue;
        }
        if (static_cast<std::size_t>(node.mesh) >= model.meshes.size()) {
            Bad("node " + node.name + " shows no mesh of the file");
        }
        const tg::Mesh& in = model.meshes[static_cast<std::size_t>(node.mesh)];
        Mesh mesh{.name = WithoutCopySuffix(in.name), .nodeName = WithoutCopySuffix(node.name)};
        mesh.node = static_cast<int>(n);
        mesh.parentNode = reader.parents[n];
        mesh.skinned = node.skin >= 0;
        // A skinned mesh's node placement counts for nothing in glTF.
        const std::optional<Matrix> place =
            mesh.skinned ? std::nullopt : reader.WorldOf(static_cast<int>(n));
        for (std::size_t p = 0; p < in.primitives.size(); ++p) {
            mesh.primitives.emplace_back();
            reader.ReadPrimitive(in.primitives[p], mesh.primitives.back(),
                                 "mesh " + in.name + " primitive " + std::to_string(p), place);
        }
        meshes.push_back(std::move(mesh));
    }
    return meshes;
}

std::vector<Joint> ReadJoints(const Reader& reader) {
    const tg::Model& model = reader.model;
    std::vector<Joint> joints;
    if (model.skins.empty()) {
        return joints;
    }
    const tg::Skin& skin = model.skins.front();
    std::vector<float> matrices;
    if (skin.inverseBindMatrices >= 0) {
        matrices = reader.accessors.Floats(skin.inverseBindMatrices, 16, "inverse bind matrices");
        if (matrices.size() != skin.joints.size() * 16) {
            Bad("inverse bind matrices: not one a joint");
        }
    }
    for (std::size_t j = 0; j < skin.joints.size(); ++j) {
        const int node = skin.joints[j];
        if (node < 0 || static_cast<std::size_t>(node) >= model.nodes.size()) {
            Bad("joint " + std::to_string(j) + " is no node");
        }
        Joint joint{.name = WithoutCopySuffix(model.nodes[static_cast<std::size_t>(node)].name)};
        if (!matrices.empty()) {
            std::copy_n(matrices.begin() + static_cast<long>(16 * j), 16,
                        joint.inverseBind.begin());
            // The export's mirror, undone: row 2 and column 2 change sign, lengths scale back.
            for (int i : {2, 6, 8, 9, 11, 14}) {
                joint.inverseBind[static_cast<std::size_t>(i)] =
                    -joint.inverseBind[static_cast<std::size_t>(i)];
            }
            for (int i : {12, 13, 14}) {
                joint.inverseBind[static_cast<std::size_t>(i)] /= reader.scale;
            }
        }
        joints.push_back(std::move(joint));
    }
    return joints;
}

Vec4 ColourOf(const tg::Value& value) {
    Vec4 colour{};
    for (int c = 0; c < 4 && value.IsArray() && c < static_cast<int>(value.ArrayLen()); ++c) {
        const tg::Value& v = value.Get(c);
        colour[static_cast<std::size_t>(c)] =
            v.IsNumber() ? Checked(v.GetNumberAsDouble(), "a material colour") : 0.0f;
    }
    return colour;
}

int ImageOfTexture(const tg::Model& model, int texture) {
    if (texture < 0 || static_cast<std::size_t>(texture) >= model.textures.size()) {
        return -1;
    }
    const int source = model.textures[static_cast<std::size_t>(texture)].source;
    return source >= 0 && static_cast<std::size_t>(source) < model.images.size() ? source : -1;
}

std::vector<Material> ReadMaterials(const tg::Model& model) {
    std::vector<Material> materials;
    for (const tg::Material& in : model.materials) {
        Material m{.name = WithoutCopySuffix(in.name)};
        m.baseImage = ImageOfTexture(model, in.pbrMetallicRoughness.baseColorTexture.index);
        float strength = 1;
        if (auto ext = in.extensions.find("KHR_materials_emissive_strength");
            ext != in.extensions.end() && ext->second.Has("emissiveStrength")) {
            strength = Checked(ext->second.Get("emissiveStrength").GetNumberAsDouble(),
                               "an emissive strength");
        }
        for (std::size_t c = 0; c < 3 && in.emissiveFactor.size() == 3; ++c) {
            m.emission[c] = Checked(in.emissiveFactor[c], "an emissive factor") * strength;
            m.hasEmission = true;
        }
        if (in.extras.IsObject()) {
            for (const std::string& key : in.extras.Keys()) {
                if (in.extras.Get(key).IsArray()) {
                    m.colours[key] = ColourOf(in.extras.Get(key));
                }
            }
        }
        materials.push_back(std::move(m));
    }
    return materials;
}

std::vector<uint8_t> ImageBytes(const tg::Model& model, const tg::Image& image) {
    if (image.bufferView < 0) {
        return image.image;
    }
    const tg::BufferView& view = model.bufferViews.at(static_cast<std::size_t>(image.bufferView));
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        Bad("image " + image.name + ": a buffer view without a buffer");
    }
    const std::vector<unsigned char>& buffer =
        model.buffers[static_cast<std::size_t>(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset) {
        Bad("image " + image.name + ": a buffer view past the end of its buffer");
    }
    const auto first = buffer.begin() + static_cast<std::ptrdiff_t>(view.byteOffset);
    return {first, first + static_cast<std::ptrdiff_t>(view.byteLength)};
}

tg::Model Load(std::span<const uint8_t> bytes, bool binary, const std::string& folder) {
    if (bytes.size() > UINT32_MAX) {
        Bad("glTF file above 4 GiB");
    }
    tg::TinyGLTF loader;
    SideFiles side{folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder)};
    loader.SetFsCallbacks({&FileExists, &ExpandPath, &ReadSide, &RefuseWrite, &side});
    loader.SetImageLoader(&KeepImageBytes, nullptr);
    tg::Model model;
    std::string error, warning;
    bool ok = false;
    try {
        const auto size = static_cast<unsigned>(bytes.size());
        ok = binary ? loader.LoadBinaryFromMemory(&model, &error, &warning, bytes.data(), size,
                                                  side.folder.string())
                    : loader.LoadASCIIFromString(&model, &error, &warning,
                                                 reinterpret_cast<const char*>(bytes.data()), size,
                                                 side.folder.string());
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!ok) {
        while (!error.empty() && error.back() == '\n') {
            error.pop_back();
        }
        Bad("not a glTF file that can be read: " + (error.empty() ? "no reason given" : error));
    }
    return model;
}

}  // namespace

std::string WithoutCopySuffix(const std::string& name) {
    const std::size_t dot =
        name.size() > kCopySuffixDigits ? name.size() - kCopySuffixDigits - 1 : std::string::npos;
    if (dot == std::string::npos || dot == 0 || name[dot] != '.') {
        return name;
    }
    const bool digits = std::all_of(name.begin() + static_cast<long>(dot) + 1, name.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    return digits ? name.substr(0, dot) : name;
}

Document ReadGltf(std::span<const uint8_t> bytes, bool binary, const std::string& folder,
                  float scale) {
    if (!(scale > 0) || !std::isfinite(scale)) {
        throw Except(ErrorKind::Input, "the scale must be a positive number");
    }
    const tg::Model model = Load(bytes, binary, folder);
    Reader reader{model, scale};
    reader.parents = Parents(model);
    Document doc;
    doc.meshes = ReadMeshes(reader);
    doc.joints = ReadJoints(reader);
    doc.materials = ReadMaterials(model);
    for (const tg::Image& image : model.images) {
        doc.images.push_back({WithoutCopySuffix(image.name), ImageBytes(model, image)});
    }
    for (const tg::Node& node : model.nodes) {
        doc.nodeNames.push_back(WithoutCopySuffix(node.name));
    }
    doc.nodeRests = ReadNodeRests(model, scale);
    doc.animations = ReadAnimations(model, reader.accessors, scale);
    return doc;
}

}  // namespace Import::Detail
