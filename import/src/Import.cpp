// The import as one operation: the base read, the glTF read and checked, the files it
// changes made in memory with every limit checked, then written all or none.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Plan.h"
#include "base/file.h"
#include "base/text.h"
#include "import/import.h"

namespace Import {
namespace {

using namespace Detail;

// A glTF larger than this is refused before it is read.
constexpr std::uintmax_t kMaxGltfBytes = 2u << 30;

// The model's size: the largest extent of its box, else of its vertices.
float ModelSize(const BaseModel& base) {
    float size = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const float extent = base.mesh.boxMax[k] - base.mesh.boxMin[k];
        size = std::isfinite(extent) ? std::max(size, extent) : size;
    }
    if (size > 0) {
        return size;
    }
    Vec3 low{}, high{};
    bool any = false;
    for (const Model::SubMesh& sub : base.mesh.subMeshes) {
        for (const Vec3& p : sub.positions) {
            for (std::size_t k = 0; k < 3 && std::isfinite(p[k]); ++k) {
                low[k] = any ? std::min(low[k], p[k]) : p[k];
                high[k] = any ? std::max(high[k], p[k]) : p[k];
            }
            any = true;
        }
    }
    for (std::size_t k = 0; k < 3; ++k) {
        size = std::max(size, high[k] - low[k]);
    }
    return size > 0 ? size : 1.0f;
}

// A changed file's bytes; a base whose bytes the writer doesn't give back is said so.
void AddFile(ImportPlan& plan, PakMgr::ITreeNode* node, std::vector<uint8_t> bytes, bool keptWhole,
             Report& report) {
    const std::string path = ArchivePath(node);
    if (!keptWhole) {
        report.Limit(path +
                     ": the base holds bytes outside the fields this program writes; the "
                     "new file has zeros there");
    }
    plan.files.push_back({path, std::move(bytes)});
}

void CheckPath(const std::string& path) {
    const std::filesystem::path relative(path);
    const bool safe = !path.empty() && !relative.is_absolute() &&
                      std::none_of(relative.begin(), relative.end(), [](const auto& part) {
                          return part == ".." || part == "." || part.empty();
                      });
    if (!safe) {
        throw Except(ErrorKind::Input, "the archive path %s can't be written below a folder",
                     path.c_str());
    }
}

}  // namespace

ImportPlan PlanImport(PakMgr::ITreeNode* skinNode, std::span<const uint8_t> gltf, bool binary,
                      const std::string& folder, const ImportOptions& options) {
    const BaseModel base = LoadBase(skinNode);
    const Document doc = ReadGltf(gltf, binary, folder, options.scale);
    Tolerances tolerances;
    tolerances.length = kLengthShare * ModelSize(base);
    Report report;

    const MeshResult mesh = ImportMesh(base, doc, tolerances, report);
    Model::SkinDesc skin;
    std::vector<NewTexture> added;
    const bool skinChanged = ImportSkin(base, doc, mesh, skin, added, report);
    std::vector<TextureResult> textures = ImportTextures(base, doc, report);
    std::vector<ImportedFile> newTextures = MakeNewTextures(doc, added, report);
    std::vector<AnimationResult> animations =
        ImportAnimations(base, doc, options.animations, tolerances, report);

    ImportPlan plan;
    if (mesh.changed) {
        AddFile(plan, base.meshNode, Model::WriteMesh(mesh.desc),
                Model::WriteMesh(base.meshDesc) == base.meshBytes, report);
    } else if (options.all) {
        plan.files.push_back({ArchivePath(base.meshNode), base.meshBytes});
    }
    if (skinChanged) {
        AddFile(plan, base.skinNode, Model::WriteSkin(skin),
                Model::WriteSkin(base.skinDesc) == base.skinBytes, report);
    } else if (options.all) {
        plan.files.push_back({ArchivePath(base.skinNode), base.skinBytes});
    }
    for (TextureResult& texture : textures) {
        if (!texture.bytes.empty()) {
            plan.files.push_back({ArchivePath(texture.node), std::move(texture.bytes)});
        } else if (options.all) {
            plan.files.push_back({ArchivePath(texture.node), std::move(texture.base)});
        }
    }
    std::move(newTextures.begin(), newTextures.end(), std::back_inserter(plan.files));
    for (AnimationResult& animation : animations) {
        if (!animation.bytes.empty()) {
            AddFile(plan, animation.node, std::move(animation.bytes), animation.keptWhole, report);
        } else if (options.all) {
            plan.files.push_back({ArchivePath(animation.node), std::move(animation.base)});
        }
    }
    for (const ImportedFile& file : plan.files) {
        CheckPath(file.path);
    }
    plan.limits = report.TakeLimits();
    plan.reasons = report.TakeReasons();
    return plan;
}

ImportPlan PlanImportFile(PakMgr::ITreeNode* skinNode, const std::string& gltfPath,
                          const ImportOptions& options) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(gltfPath, ec);
    if (ec || size > kMaxGltfBytes) {
        throw Except(ErrorKind::Io, "can't read %s", gltfPath.c_str());
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream in(gltfPath, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        throw Except(ErrorKind::Io, "can't read %s", gltfPath.c_str());
    }
    const bool binary = !Base::LowerAscii(gltfPath).ends_with(".gltf");
    const std::string folder = std::filesystem::path(gltfPath).parent_path().string();
    return PlanImport(skinNode, bytes, binary, folder, options);
}

void WritePlan(const ImportPlan& plan, const std::string& outFolder) {
    std::vector<std::filesystem::path> written;
    try {
        for (const ImportedFile& file : plan.files) {
            CheckPath(file.path);
            const std::filesystem::path path = std::filesystem::path(outFolder) / file.path;
            std::error_code ec;
            std::filesystem::create_directories(path.parent_path(), ec);
            if (ec) {
                throw Except(ErrorKind::Io, "can't create folder %s",
                             path.parent_path().string().c_str());
            }
            Base::WriteWholeFile(path.string(), file.bytes);
            written.push_back(path);
        }
    } catch (...) {
        for (const std::filesystem::path& path : written) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
        throw;
    }
}

}  // namespace Import
