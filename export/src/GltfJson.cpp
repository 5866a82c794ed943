// glTF export: the document as JSON text, and the names every node needs.
#include <algorithm>
#include <set>

#include "GltfDocument.h"

namespace Export::Gltf {
namespace {

// The program and its version, as a file's asset names them (export/CMakeLists.txt).
constexpr char kGenerator[] = "VellModelBrowser " VELL_VERSION;
constexpr int kLinear = 9729;
constexpr int kRepeat = 10497;
constexpr Vec3 kNoMove = {0, 0, 0};
constexpr Vec3 kUnitScale = {1, 1, 1};

void WriteTrs(JsonWriter& json, const Trs& trs) {
    if (trs.translation != kNoMove) {
        json.Key("translation");
        json.Floats(trs.translation);
    }
    if (trs.rotation != Vec4{0, 0, 0, 1}) {
        json.Key("rotation");
        json.Floats(trs.rotation);
    }
    if (trs.scale != kUnitScale) {
        json.Key("scale");
        json.Floats(trs.scale);
    }
}

void WriteNodes(JsonWriter& json, const Document& doc) {
    json.Key("nodes");
    json.BeginArray();
    for (const Node& node : doc.nodes) {
        json.BeginObject();
        json.Key("name");
        json.String(node.name);
        if (!node.children.empty()) {
            json.Key("children");
            json.Integers(node.children);
        }
        WriteTrs(json, node.trs);
        if (node.mesh >= 0) {
            json.Key("mesh");
            json.Integer(node.mesh);
        }
        if (node.skin >= 0) {
            json.Key("skin");
            json.Integer(node.skin);
        }
        json.EndObject();
    }
    json.EndArray();
}

void WriteMeshes(JsonWriter& json, const Document& doc) {
    json.Key("meshes");
    json.BeginArray();
    for (const MeshEntry& mesh : doc.meshes) {
        json.BeginObject();
        json.Key("name");
        json.String(mesh.name);
        json.Key("primitives");
        json.BeginArray();
        for (const Primitive& p : mesh.primitives) {
            json.BeginObject();
            json.Key("attributes");
            json.BeginObject();
            for (const auto& [semantic, accessor] : p.attributes) {
                json.Key(semantic);
                json.Integer(accessor);
            }
            json.EndObject();
            json.Key("indices");
            json.Integer(p.indices);
            json.Key("material");
            json.Integer(p.material);
            json.Key("mode");
            json.Integer(kTriangles);
            json.Key("extras");
            json.BeginObject();
            json.Key("name");
            json.String(p.name);
            json.Key("subMesh");
            json.Integer(static_cast<int64_t>(p.subMesh));
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
}

void TextureRef(JsonWriter& json, int image) {
    json.BeginObject();
    json.Key("index");
    json.Integer(image);
    json.EndObject();
}

void WriteEmission(JsonWriter& json, const MaterialEntry& m) {
    if (m.emissiveImage >= 0) {
        json.Key("emissiveTexture");
        TextureRef(json, m.emissiveImage);
    }
    if (m.emissiveFactor != kNoMove) {
        json.Key("emissiveFactor");
        json.Floats(m.emissiveFactor);
    }
    if (m.emissiveStrength > 1) {
        json.Key("extensions");
        json.BeginObject();
        json.Key(kEmissiveStrength);
        json.BeginObject();
        json.Key("emissiveStrength");
        json.Float(m.emissiveStrength);
        json.EndObject();
        json.EndObject();
    }
}

// What no glTF property draws stays with the material for the artist: the other textures
// by name and image, and the skin material's colours.
void WriteMaterialExtras(JsonWriter& json, const MaterialEntry& m) {
    if (!m.fromSkin) {
        return;
    }
    json.Key("extras");
    json.BeginObject();
    for (const ExtraTexture& texture : m.extraTextures) {
        json.Key(texture.key);
        json.BeginObject();
        json.Key("name");
        json.String(texture.name);
        if (texture.image >= 0) {
            json.Key("image");
            json.Integer(texture.image);
        }
        json.EndObject();
    }
    for (const auto& [key, colour] : m.colours) {
        json.Key(key);
        json.Floats(colour);
    }
    json.EndObject();
}

bool UsesEmissiveStrength(const Document& doc) {
    return std::any_of(doc.materials.begin(), doc.materials.end(),
                       [](const MaterialEntry& m) { return m.emissiveStrength > 1; });
}

void WriteMaterials(JsonWriter& json, const Document& doc) {
    if (doc.materials.empty()) {
        return;
    }
    json.Key("materials");
    json.BeginArray();
    for (const MaterialEntry& m : doc.materials) {
        json.BeginObject();
        json.Key("name");
        json.String(m.name);
        json.Key("pbrMetallicRoughness");
        json.BeginObject();
        if (m.image >= 0) {
            json.Key("baseColorTexture");
            TextureRef(json, m.image);
        }
        json.Key("metallicFactor");
        json.Integer(0);
        json.Key("roughnessFactor");
        json.Integer(1);
        json.EndObject();
        if (m.mask) {
            // The view draws only texels with alpha above one half.
            json.Key("alphaMode");
            json.String("MASK");
            json.Key("alphaCutoff");
            json.Number(0.5);
        }
        // The view draws both sides of every face.
        json.Key("doubleSided");
        json.Bool(true);
        WriteEmission(json, m);
        WriteMaterialExtras(json, m);
        json.EndObject();
    }
    json.EndArray();
    if (doc.images.empty()) {
        return;
    }
    json.Key("images");
    json.BeginArray();
    for (const Image& image : doc.images) {
        json.BeginObject();
        json.Key("name");
        json.String(image.name);
        if (image.view >= 0) {
            json.Key("bufferView");
            json.Integer(image.view);
            json.Key("mimeType");
            json.String("image/png");
        } else {
            json.Key("uri");
            json.String(image.uri);
        }
        json.EndObject();
    }
    json.EndArray();
    json.Key("samplers");
    json.BeginArray();
    json.BeginObject();
    json.Key("magFilter");
    json.Integer(kLinear);
    json.Key("minFilter");
    json.Integer(kLinear);
    json.Key("wrapS");
    json.Integer(kRepeat);
    json.Key("wrapT");
    json.Integer(kRepeat);
    json.EndObject();
    json.EndArray();
    json.Key("textures");
    json.BeginArray();
    for (std::size_t i = 0; i < doc.images.size(); ++i) {
        json.BeginObject();
        json.Key("sampler");
        json.Integer(0);
        json.Key("source");
        json.Integer(static_cast<int64_t>(i));
        json.EndObject();
    }
    json.EndArray();
}

void WriteSkin(JsonWriter& json, const Document& doc) {
    if (doc.skins.empty()) {
        return;
    }
    json.Key("skins");
    json.BeginArray();
    for (const SkinEntry& skin : doc.skins) {
        json.BeginObject();
        json.Key("name");
        json.String(skin.name);
        json.Key("inverseBindMatrices");
        json.Integer(skin.inverseBindMatrices);
        json.Key("joints");
        json.Integers(skin.joints);
        json.Key("skeleton");
        json.Integer(skin.skeleton);
        json.EndObject();
    }
    json.EndArray();
}

void WriteAnimations(JsonWriter& json, const Document& doc) {
    if (doc.animations.empty()) {
        return;
    }
    json.Key("animations");
    json.BeginArray();
    for (const Animation& animation : doc.animations) {
        json.BeginObject();
        json.Key("name");
        json.String(animation.name);
        json.Key("channels");
        json.BeginArray();
        for (std::size_t i = 0; i < animation.channels.size(); ++i) {
            json.BeginObject();
            json.Key("sampler");
            json.Integer(static_cast<int64_t>(i));
            json.Key("target");
            json.BeginObject();
            json.Key("node");
            json.Integer(animation.channels[i].node);
            json.Key("path");
            json.String(animation.channels[i].path);
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
        json.Key("samplers");
        json.BeginArray();
        for (const Channel& c : animation.channels) {
            json.BeginObject();
            json.Key("input");
            json.Integer(c.input);
            json.Key("output");
            json.Integer(c.output);
            json.Key("interpolation");
            json.String("LINEAR");
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace

std::string ToJson(const Document& doc, std::string_view bufferUri) {
    JsonWriter json;
    json.BeginObject();
    json.Key("asset");
    json.BeginObject();
    json.Key("version");
    json.String("2.0");
    json.Key("generator");
    json.String(kGenerator);
    json.EndObject();
    if (UsesEmissiveStrength(doc)) {
        json.Key("extensionsUsed");
        json.BeginArray();
        json.String(kEmissiveStrength);
        json.EndArray();
    }
    json.Key("scene");
    json.Integer(0);
    json.Key("scenes");
    json.BeginArray();
    json.BeginObject();
    if (!doc.sceneNodes.empty()) {
        json.Key("nodes");
        json.Integers(doc.sceneNodes);
    }
    json.EndObject();
    json.EndArray();
    if (!doc.nodes.empty()) {
        WriteNodes(json, doc);
    }
    if (!doc.meshes.empty()) {
        WriteMeshes(json, doc);
    }
    WriteMaterials(json, doc);
    WriteSkin(json, doc);
    WriteAnimations(json, doc);
    if (!doc.bin.Bytes().empty()) {
        json.Key("buffers");
        json.BeginArray();
        json.BeginObject();
        json.Key("byteLength");
        json.Integer(static_cast<int64_t>(doc.bin.Bytes().size()));
        if (!bufferUri.empty()) {
            json.Key("uri");
            json.String(bufferUri);
        }
        json.EndObject();
        json.EndArray();
        json.Key("bufferViews");
        doc.bin.WriteViews(json);
        json.Key("accessors");
        doc.bin.WriteAccessors(json);
    }
    json.EndObject();
    return json.Text();
}

// Tools find nodes by name (assimp ties animation channels to names), so every node gets a
// name of its own: bones keep theirs first, then meshes; a later node of the same name is
// numbered.
void MakeNamesUnique(Document& doc, const Rig& rig) {
    std::set<std::string> used;
    auto claim = [&](Node& node) {
        std::string name = node.name;
        for (int n = 1; !used.insert(name).second; ++n) {
            name = node.name + "." + std::to_string(n);
        }
        node.name = name;
    };
    std::vector<bool> isBone(doc.nodes.size(), false);
    for (int node : rig.boneNodes) {
        isBone[static_cast<std::size_t>(node)] = true;
        claim(doc.nodes[static_cast<std::size_t>(node)]);
    }
    for (bool meshes : {true, false}) {
        for (std::size_t i = 0; i < doc.nodes.size(); ++i) {
            if (!isBone[i] && (doc.nodes[i].mesh >= 0) == meshes) {
                claim(doc.nodes[i]);
            }
        }
    }
}

}  // namespace Export::Gltf
