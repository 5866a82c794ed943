// glTF 2.0 export: the model as shown, with its skeleton, skin and every animation, mirrored
// in x the way the view draws it, so that the file at every integer frame shows what the
// view shows at that frame. The parts are built into one document (GltfDocument.h), then
// written as .glb, or as .gltf with its buffer beside it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

#include "GltfDocument.h"
#include "base/file.h"
#include "base/text.h"

namespace Export {

namespace Gltf {

constexpr uint32_t kFnvOffset = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

int Document::AddNode(Node node, int parent) {
    nodes.push_back(std::move(node));
    const int index = static_cast<int>(nodes.size() - 1);
    if (parent >= 0) {
        nodes[static_cast<std::size_t>(parent)].children.push_back(index);
    } else {
        sceneNodes.push_back(index);
    }
    return index;
}

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

// A side file's stem at most this long: an image's name, two of them with '_', a number and
// ".png", stays within the file system's 255 bytes.
constexpr std::size_t kSideStemLimit = 120;
constexpr std::size_t kHashLength = 9;  // "_%08x"

// Plain ASCII that every tool takes in a URI: characters outside A-Z a-z 0-9 . _ - become
// '_', and when any did, a hash of the whole name follows so that different names stay
// apart; a longer one is cut to kSideStemLimit with the hash.
std::string SideFileStem(std::string_view name) {
    std::string out;
    bool replaced = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (std::isalnum(c) || c == '.' || c == '_' || c == '-') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        replaced = true;
        out.push_back('_');
        // One '_' per character: the rest of a UTF-8 sequence goes with its lead byte.
        while (c >= 0xC0 && i + 1 < name.size() &&
               (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80) {
            ++i;
        }
    }
    if (replaced || out.empty() || out.size() > kSideStemLimit) {
        out.resize(std::min(out.size(), kSideStemLimit - kHashLength));
        uint32_t hash = kFnvOffset;
        for (char c : name) {
            hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
        }
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%08x", hash);
        out += suffix;
    }
    return out;
}

std::string TextureStem(const std::string& texture) {
    const std::string name = Base::GbkToUtf8(texture);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace Gltf

namespace {

using namespace Gltf;

Document BuildDocument(const Source& source) {
    Document doc;
    Rig rig = BuildSkeleton(doc, source);
    const Materials materials = BuildMaterials(doc, source);
    BuildMeshes(doc, rig, source, materials);
    MakeNamesUnique(doc, rig);
    AddSkin(doc, rig, source);
    BuildAnimations(doc, rig, source);
    return doc;
}

// Images go into the buffer of a .glb file.
void EmbedImages(Document& doc) {
    for (Image& image : doc.images) {
        image.view = doc.bin.AddView(std::span<const uint8_t>(image.png), Target::None);
    }
}

std::span<const uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

void ExportGltf(Model::IVellModel& model, const std::string& path,
                const std::vector<PakMgr::ITreeNode*>& skinNodes, const GltfOptions& options) {
    const auto* object = dynamic_cast<const Model::CVellModel*>(&model);
    if (object == nullptr) {
        throw Except(ErrorKind::Input, "this model can't be exported as glTF");
    }
    const Skeleton& skeleton = object->GetSkeleton();
    Skeleton combined;
    const bool several = options.animations.size() > 1 && !skeleton.bones.empty();
    if (several) {
        combined = CombineAnimations(skeleton, options);
    }
    Source source{object->Meshes(), object->Skins(), several ? combined : skeleton, skinNodes};
    source.frame.scale = options.scale;
    source.imageThreads = options.imageThreads;
    Document doc = BuildDocument(source);
    if (!Base::LowerAscii(path).ends_with(".gltf")) {
        EmbedImages(doc);
        Base::WriteWholeFile(path, MakeGlb(ToJson(doc, ""), doc.bin.Bytes()));
        return;
    }
    // The buffer and the images go beside the text file, named after it.
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string stem =
        SideFileStem(path.substr(folder.size(), path.size() - folder.size() - 5));
    std::set<std::string> used;
    for (Image& image : doc.images) {
        if (options.imageFiles && options.imageFiles->contains(image.texture)) {
            image.uri = options.imageFiles->at(image.texture);
        } else {
            std::string name = stem + "_" + SideFileStem(TextureStem(image.texture));
            for (int n = 2; !used.insert(name).second; ++n) {
                name =
                    stem + "_" + SideFileStem(TextureStem(image.texture)) + "_" + std::to_string(n);
            }
            image.uri = name + ".png";
        }
        Base::WriteWholeFile(folder + image.uri, image.png);
    }
    Base::WriteWholeFile(folder + stem + ".bin", doc.bin.Bytes());
    Base::WriteWholeFile(path, BytesOf(ToJson(doc, stem + ".bin")));
}

}  // namespace Export
