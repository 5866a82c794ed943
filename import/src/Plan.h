// The import's steps over one base model: the base read from the archives, the mesh and the
// skin compared with the glTF and remade where it differs, the textures repainted.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "GltfInput.h"
#include "import/import.h"
#include "model/records.h"
#include "model/writer.h"

namespace Import::Detail {

// How far a value may come back from another tool and still be the base's.
struct Tolerances {
    float length = 0;  // 1e-5 of the model's size
    float texCoord = 1e-6f;
    float weight = 1e-5f;
    float normal = 1e-3f;  // tools store normals compressed
    float rotation = 1e-5f;
};

inline constexpr float kLengthShare = 1e-5f;

struct BaseModel {
    PakMgr::ITreeNode* skinNode = nullptr;
    PakMgr::ITreeNode* meshNode = nullptr;
    std::vector<uint8_t> skinBytes;
    std::vector<uint8_t> meshBytes;
    Model::Mesh mesh;  // as the export read it
    Model::Skin skin;  // names only
    Model::MeshDesc meshDesc;
    Model::SkinDesc skinDesc;
    std::string meshName;                 // the glTF mesh's name the export gave it (UTF-8)
    std::vector<std::string> materialOf;  // per sub-mesh: the export's material name
};

BaseModel LoadBase(PakMgr::ITreeNode* skinNode);
std::vector<uint8_t> FileBytes(PakMgr::ITreeNode* node, const char* kind);
// The node's archive path as the plan names files: UTF-8, '/' between components.
std::string ArchivePath(PakMgr::ITreeNode* node);
// A name of the glTF (UTF-8) as a field of the game's files: code page 936, at most
// 255 bytes; Except (Input) naming `what` when it can't be.
std::string GameName(const std::string& utf8, const std::string& what);

class Report {
public:
    void Limit(std::string text) { m_limits.push_back(std::move(text)); }
    // One line of why a file differs; only the first few of one kind are kept.
    void Why(const std::string& kind, std::string text);
    std::vector<std::string> TakeLimits() { return std::move(m_limits); }
    std::vector<std::string> TakeReasons() { return std::move(m_reasons); }

private:
    std::vector<std::string> m_limits;
    std::vector<std::string> m_reasons;
    std::vector<std::pair<std::string, int>> m_kinds;
};

// The mesh made again from the glTF. Output sub-mesh k comes from base sub-mesh source[k],
// or is added (-1) with the glTF material addedMaterial[k].
struct MeshResult {
    bool changed = false;
    Model::MeshDesc desc;
    std::vector<int> source;
    std::vector<int> addedMaterial;
};

MeshResult ImportMesh(const BaseModel& base, const Document& doc, const Tolerances& tolerances,
                      Report& report);

struct TextureResult {
    std::string texture;  // the skin's name for it
    PakMgr::ITreeNode* node = nullptr;
    std::vector<uint8_t> base;   // the base file's bytes
    std::vector<uint8_t> bytes;  // the new file's, when repainted
};

// Every texture the base skin names (found below its folder), repainted where the glTF's
// image of that name differs.
std::vector<TextureResult> ImportTextures(const BaseModel& base, const Document& doc,
                                          Report& report);

// A texture the import adds: an added sub-mesh's glTF image that is none of the base's.
struct NewTexture {
    std::size_t image = 0;              // into Document::images
    std::string path;                   // its archive path (UTF-8), beside the base's textures
    PakMgr::ITreeNode* like = nullptr;  // the base texture whose format it takes, if any
};

// The skin's materials for the mesh's sub-meshes; changed when a material differs from
// the base's or the sub-meshes moved. An added sub-mesh's material that shows a new image
// names a new texture, listed in `added` in the order first named.
bool ImportSkin(const BaseModel& base, const Document& doc, const MeshResult& mesh,
                Model::SkinDesc& out, std::vector<NewTexture>& added, Report& report);

// The skin's texture names (code page 936), each once, and one's stem as the export names
// its image (UTF-8, without the extension).
std::vector<std::string> TextureNames(const Model::Skin& skin);
std::string TextureStem(const std::string& texture);

// The new textures as DDS files in the format of the texture each is like (one that keeps
// alpha when the image has some and that format can't), every limit checked.
std::vector<ImportedFile> MakeNewTextures(const Document& doc, std::span<const NewTexture> added,
                                          Report& report);

struct AnimationResult {
    PakMgr::ITreeNode* node = nullptr;
    std::vector<uint8_t> base;   // the base file's bytes
    std::vector<uint8_t> bytes;  // the new file's, when an animation changed or was added
    bool keptWhole = true;       // the writer gives back the base's bytes from what it read
};

// The animation files the glTF's animations came from (ImportOptions::animations), remade
// where an animation differs from the file's or is new.
std::vector<AnimationResult> ImportAnimations(const BaseModel& base, const Document& doc,
                                              std::span<PakMgr::ITreeNode* const> files,
                                              const Tolerances& tolerances, Report& report);

}  // namespace Import::Detail
