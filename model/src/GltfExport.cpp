// glTF 2.0 export: the model as shown, with its skeleton, skin and every animation, mirrored
// in x the way the view draws it, so that the file at every integer frame shows what the
// view shows at that frame. The parts are built into one document (GltfDocument.h), then
// written as .glb, or as .gltf with its buffer beside it.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>

#include "GltfDocument.h"

namespace Model {

namespace Gltf {

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

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         std::fclose);
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return std::fclose(file.release()) == 0 && written;
}

// A case-blind test of the file name's ending.
bool EndsWith(const std::string& text, std::string_view end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(end.begin(), end.end(), text.end() - static_cast<long>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

void CVellModel::ExportGltf(const std::string& path,
                            const std::vector<PakMgr::ITreeNode*>& skinNodes) {
    Document doc = BuildDocument({m_meshes, m_skins, m_skeleton, skinNodes});
    EmbedImages(doc);
    if (!EndsWith(path, ".gltf")) {
        const std::string json = ToJson(doc, "");
        if (!WriteBytes(path, MakeGlb(json, doc.bin.Bytes()))) {
            throw Except("can't write %s", path.c_str());
        }
        return;
    }
    // The buffer goes beside the text file, named after it.
    const std::size_t slash = path.find_last_of('/');
    const std::string stem = path.substr(0, path.size() - 5);
    const std::string binPath = stem + ".bin";
    const std::string binName = binPath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string json = ToJson(doc, EncodeUri(binName));
    const std::span<const uint8_t> text(reinterpret_cast<const uint8_t*>(json.data()), json.size());
    if (!WriteBytes(binPath, doc.bin.Bytes()) || !WriteBytes(path, text)) {
        throw Except("can't write %s", path.c_str());
    }
}

}  // namespace Model
