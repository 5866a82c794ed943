// The mesh made again: each base sub-mesh the glTF still has is kept as the base's bytes
// when nothing differs, keeps its faces (strips too) when only values changed, and is
// remade as a triangle list when its faces changed; sub-meshes the glTF lacks are left out
// and meshes hung under the model's node are added.
#include <algorithm>
#include <set>

#include "Vertices.h"
#include "base/text.h"
#include "model/pose.h"

namespace Import::Detail {
namespace {

constexpr std::size_t kMaxVertices = 0xFFFF;  // the faces are 16-bit
constexpr std::size_t kSlots = 4;

std::string Quoted(const std::string& name) {
    return "'" + name + "'";
}

// A triangle by the base vertices (their first equal copy) its corners stand for, turned so
// that its smallest corner comes first.
using Face = std::array<int, 3>;

Face Canonical(int a, int b, int c) {
    if (b < a && b < c) {
        return {b, c, a};
    }
    if (c < a && c < b) {
        return {c, a, b};
    }
    return {a, b, c};
}

std::vector<Face> Faces(const std::vector<uint32_t>& triangles, const std::vector<int>& idOf) {
    std::vector<Face> faces;
    faces.reserve(triangles.size() / 3);
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        faces.push_back(
            Canonical(idOf[triangles[t]], idOf[triangles[t + 1]], idOf[triangles[t + 2]]));
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}

class SubMeshImport {
public:
    SubMeshImport(const BaseModel& base, std::size_t index, const Tolerances& tolerances,
                  Report& report, NameKeys& keys, bool skinned)
        : m_base(base),
          m_index(index),
          m_t(tolerances),
          m_report(report),
          m_keys(keys),
          m_skinned(skinned),
          m_name(Base::GbkToUtf8(base.mesh.subMeshes[index].name)),
          m_old(BaseVertices(base, index, keys, skinned)),
          m_find(m_old, tolerances) {
        MarkLooseNormals(m_old, tolerances.length / kLengthShare);
    }

    // The sub-mesh for the glTF's vertices; `changed` says whether it differs from the base.
    Model::SubMeshDesc Make(const Vertices& in, bool& changed);

private:
    std::vector<int> Mapping(const Vertices& in, bool moved) const;
    bool FacesKept(const Vertices& in, const std::vector<int>& map) const;
    bool Update(Model::SubMeshDesc& out, const Vertices& in, const std::vector<int>& map);
    Model::SubMeshDesc Remake(const Vertices& in);

    const BaseModel& m_base;
    std::size_t m_index;
    Tolerances m_t;
    Report& m_report;
    NameKeys& m_keys;
    bool m_skinned;
    std::string m_name;
    Vertices m_old;
    VertexIndex m_find;

public:
    std::vector<std::string> missingBones;
    std::size_t cutInfluences = 0;
};

// Each glTF vertex's base vertex: the same index when the glTF kept the base's order,
// else the first base vertex equal in value (or, with `moved`, in all but the position).
std::vector<int> SubMeshImport::Mapping(const Vertices& in, bool moved) const {
    std::vector<int> map(in.Count(), -1);
    for (std::size_t v = 0; v < in.Count(); ++v) {
        map[v] = m_find.FindSame(in, v);
        if (map[v] < 0 && moved) {
            map[v] = m_find.FindMoved(in, v);
        }
    }
    return map;
}

bool SubMeshImport::FacesKept(const Vertices& in, const std::vector<int>& map) const {
    if (std::find(map.begin(), map.end(), -1) != map.end()) {
        return false;
    }
    // Base vertices equal in value count as one, as the glTF's split or merged ones do.
    std::vector<int> first(m_old.Count());
    for (std::size_t v = 0; v < m_old.Count(); ++v) {
        const int same = m_find.FindSame(m_old, v);
        first[v] = same < 0 ? static_cast<int>(v) : same;
    }
    std::vector<int> mapped(map.size());
    for (std::size_t v = 0; v < map.size(); ++v) {
        mapped[v] = first[static_cast<std::size_t>(map[v])];
    }
    return Faces(in.triangles, mapped) == Faces(m_old.triangles, first);
}

// The glTF's shares as the four slots of the sub-mesh's bone-name table (names added to
// the table when the mesh has the bone).
struct SlotMaker {
    const BaseModel& base;
    const NameKeys& keys;
    Model::SubMeshDesc& out;
    std::vector<std::string>& missing;
    std::size_t& cut;

    void Make(const InfluenceList& shares, std::array<uint16_t, 4>& slots, Vec4& weights) {
        InfluenceList list;
        for (const auto& share : shares) {
            if (share.first != 0) {
                list.push_back(share);
            }
        }
        std::sort(list.begin(), list.end(),
                  [](const auto& a, const auto& b) { return a.second > b.second; });
        if (list.size() > kSlots) {
            list.resize(kSlots);
            float sum = 0;
            for (const auto& share : list) {
                sum += share.second;
            }
            for (auto& share : list) {
                share.second /= sum;
            }
            ++cut;
        }
        slots.fill(Model::kNoBone);
        weights = {0, 0, 0, 0};
        for (std::size_t k = 0; k < list.size(); ++k) {
            slots[k] = Slot(keys.Name(list[k].first));
            weights[k] = list[k].second;
        }
    }

    uint16_t Slot(const std::string& utf8) {
        const std::string gbk = Base::Utf8ToGbk(utf8);
        if (!out.boneNames) {
            out.boneNames.emplace();
        }
        std::vector<std::string>& table = *out.boneNames;
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table[i] == gbk) {
                return static_cast<uint16_t>(i);
            }
        }
        const bool bone = std::any_of(base.meshDesc.bones.begin(), base.meshDesc.bones.end(),
                                      [&](const Model::MeshBoneDesc& b) { return b.name == gbk; });
        if (!bone) {
            if (std::find(missing.begin(), missing.end(), utf8) == missing.end()) {
                missing.push_back(utf8);
            }
            return Model::kNoBone;
        }
        table.push_back(gbk);
        return static_cast<uint16_t>(table.size() - 1);
    }
};

bool SubMeshImport::Update(Model::SubMeshDesc& out, const Vertices& in,
                           const std::vector<int>& map) {
    SlotMaker slots{m_base, m_keys, out, missingBones, cutInfluences};
    // Every base vertex equal in value to the one a glTF vertex found takes its values.
    std::vector<std::vector<int>> copies(m_old.Count());
    for (std::size_t v = 0; v < m_old.Count(); ++v) {
        const int same = m_find.FindSame(m_old, v);
        copies[static_cast<std::size_t>(same < 0 ? static_cast<int>(v) : same)].push_back(
            static_cast<int>(v));
    }
    bool changed = false;
    for (std::size_t g = 0; g < in.Count(); ++g) {
        const int found = map[g];
        const int head = m_find.FindSame(m_old, static_cast<std::size_t>(found));
        for (int b : copies[static_cast<std::size_t>(head < 0 ? found : head)]) {
            const auto v = static_cast<std::size_t>(b);
            const Agreement agree = Compare(in, g, m_old, v, m_t);
            if (!agree.position && v < out.positions.size()) {
                out.positions[v] = in.positions[g];
            }
            if (!agree.normal && v < out.normals.size()) {
                out.normals[v] = in.normals[g];
            }
            if (!agree.texCoord && v < out.texCoords.size()) {
                out.texCoords[v] = in.texCoords[g];
            }
            if (!agree.influences && m_skinned && v < out.boneSlots.size() &&
                v < out.boneWeights.size()) {
                slots.Make(in.influences[g], out.boneSlots[v], out.boneWeights[v]);
            }
            if (!agree.All()) {
                changed = true;
                m_report.Why("vertex " + m_name,
                             "sub-mesh " + Quoted(m_name) + ": vertex " + std::to_string(v) +
                                 " differs in" + (agree.position ? "" : " position") +
                                 (agree.normal ? "" : " normal") + (agree.texCoord ? "" : " uv") +
                                 (agree.influences ? "" : " weights"));
            }
        }
    }
    return changed;
}

// A triangle list of the glTF's vertices; a vertex equal to a base vertex takes the base's
// stored values.
Model::SubMeshDesc SubMeshImport::Remake(const Vertices& in) {
    const Model::SubMeshDesc& old = m_base.meshDesc.subMeshes[m_index];
    Model::SubMeshDesc out;
    out.name = old.name;
    out.stripFlag = old.stripFlag & ~1u;
    out.boneNames = old.boneNames;
    SlotMaker slots{m_base, m_keys, out, missingBones, cutInfluences};
    for (std::size_t g = 0; g < in.Count(); ++g) {
        const int same = m_find.FindSame(in, g);
        const auto b = static_cast<std::size_t>(same);
        const bool keep = same >= 0 && b < old.positions.size() && b < old.normals.size() &&
                          b < old.texCoords.size();
        out.positions.push_back(keep ? old.positions[b] : in.positions[g]);
        out.normals.push_back(keep ? old.normals[b] : in.normals[g]);
        out.texCoords.push_back(keep ? old.texCoords[b] : in.texCoords[g]);
        if (!m_skinned) {
            continue;
        }
        if (keep && b < old.boneSlots.size() && b < old.boneWeights.size()) {
            out.boneSlots.push_back(old.boneSlots[b]);
            out.boneWeights.push_back(old.boneWeights[b]);
            continue;
        }
        out.boneSlots.emplace_back();
        out.boneWeights.emplace_back();
        const InfluenceList none;
        slots.Make(in.influences.empty() ? none : in.influences[g], out.boneSlots.back(),
                   out.boneWeights.back());
    }
    out.indices.assign(in.triangles.begin(), in.triangles.end());
    m_report.Why("faces " + m_name, "sub-mesh " + Quoted(m_name) + ": its faces differ (" +
                                        std::to_string(in.triangles.size() / 3) + " triangles, " +
                                        std::to_string(m_old.triangles.size() / 3) + " before)");
    return out;
}

Model::SubMeshDesc SubMeshImport::Make(const Vertices& in, bool& changed) {
    const Model::SubMeshDesc& old = m_base.meshDesc.subMeshes[m_index];
    if (in.Count() > kMaxVertices) {
        Refuse(ErrorKind::Input, "sub-mesh " + Quoted(m_name) + " has " +
                                     std::to_string(in.Count()) +
                                     " vertices; one holds at most 65,535 (its faces are 16-bit): "
                                     "split it into two objects");
    }
    std::vector<int> map;
    if (in.Count() == m_old.Count() && in.triangles == m_old.triangles) {
        map.resize(in.Count());
        for (std::size_t v = 0; v < map.size(); ++v) {
            map[v] = static_cast<int>(v);
        }
    } else {
        map = Mapping(in, false);
        if (!FacesKept(in, map)) {
            map = Mapping(in, true);
        }
        if (!FacesKept(in, map)) {
            changed = true;
            return Remake(in);
        }
    }
    Model::SubMeshDesc out = old;
    changed = Update(out, in, map);
    return changed ? out : old;
}

const Mesh* FindBaseMesh(const BaseModel& base, const Document& doc) {
    for (const Mesh& mesh : doc.meshes) {
        if (mesh.name == base.meshName || mesh.nodeName == base.meshName) {
            return &mesh;
        }
    }
    Refuse(ErrorKind::Input, "the glTF has no mesh named " + Quoted(base.meshName) +
                                 " as the base's is: was it renamed?");
}

// The base sub-mesh a primitive stands for: by the extras the export wrote, else by its
// material's name; -1 for one the base doesn't have.
int SubMeshOf(const BaseModel& base, const Document& doc, const Primitive& p) {
    const auto& subs = base.mesh.subMeshes;
    if (p.extrasSubMesh >= 0 && static_cast<std::size_t>(p.extrasSubMesh) < subs.size() &&
        Base::GbkToUtf8(subs[static_cast<std::size_t>(p.extrasSubMesh)].name) == p.extrasName) {
        return p.extrasSubMesh;
    }
    if (p.material < 0 || static_cast<std::size_t>(p.material) >= doc.materials.size()) {
        return -1;
    }
    const std::string& name = doc.materials[static_cast<std::size_t>(p.material)].name;
    const auto found = std::find(base.materialOf.begin(), base.materialOf.end(), name);
    return found == base.materialOf.end() ? -1 : static_cast<int>(found - base.materialOf.begin());
}

// Whether the export wrote the sub-mesh at all: one without vertices or triangles it leaves
// out, so its absence is no deletion.
bool Exported(const Model::SubMesh& sub) {
    if (sub.positions.empty()) {
        return false;
    }
    const std::size_t n = sub.positions.size();
    for (std::size_t t = 0; t + 2 < sub.indices.size(); ++t) {
        const uint16_t a = sub.indices[t], b = sub.indices[t + 1], c = sub.indices[t + 2];
        if (a != b && b != c && a != c && a < n && b < n && c < n) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {

struct Added {
    std::string name;  // UTF-8
    const Primitive* primitive;
};

// A mesh the glTF adds: a triangle list of its own vertices, its shares on the bones of the
// mesh (a mesh without weights in a skinned model follows the first bone).
Model::SubMeshDesc AddedSubMesh(const BaseModel& base, const Document& doc, const Added& added,
                                NameKeys& keys, bool skinned, std::vector<std::string>& missing,
                                std::size_t& cut) {
    const Vertices in = GltfVertices(doc, {added.primitive}, keys);
    if (in.Count() > kMaxVertices) {
        Refuse(ErrorKind::Input, "mesh " + Quoted(added.name) + " has " +
                                     std::to_string(in.Count()) +
                                     " vertices; a sub-mesh holds at most 65,535 (its faces are "
                                     "16-bit): split it into two objects");
    }
    Model::SubMeshDesc out;
    out.name = GameName(added.name, "mesh " + Quoted(added.name));
    out.positions = in.positions;
    out.normals = in.normals;
    out.texCoords = in.texCoords;
    out.indices.assign(in.triangles.begin(), in.triangles.end());
    if (!skinned) {
        return out;
    }
    SlotMaker slots{base, keys, out, missing, cut};
    const InfluenceList rigid{{keys.Key(Base::GbkToUtf8(base.meshDesc.bones.front().name)), 1.0f}};
    out.boneSlots.resize(in.Count());
    out.boneWeights.resize(in.Count());
    for (std::size_t v = 0; v < in.Count(); ++v) {
        slots.Make(in.influences.empty() ? rigid : in.influences[v], out.boneSlots[v],
                   out.boneWeights[v]);
    }
    return out;
}

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + Quoted(name);
    }
    return text;
}

// Bind placements the glTF moved, by bone name. Only where a bone stands counts: a tool
// may turn a bone's axes (Blender points them along the bone) and make up for it in the
// joint's own turn, which the game, posing from its .ani, never sees. A moved bone keeps
// the base's turn at its new place.
bool ImportBinds(Model::MeshDesc& desc, const Document& doc, const Tolerances& t, Report& report) {
    bool changed = false;
    for (Model::MeshBoneDesc& bone : desc.bones) {
        const std::string name = Base::GbkToUtf8(bone.name);
        for (const Joint& joint : doc.joints) {
            if (joint.name != name) {
                continue;
            }
            const std::optional<Matrix> now = Model::Inverse(joint.inverseBind);
            std::optional<Matrix> was = Model::Inverse(bone.matrix);
            if (now && was && !Near(now->data() + 12, was->data() + 12, 3, t.length)) {
                std::copy_n(now->data() + 12, 3, was->data() + 12);
                if (const std::optional<Matrix> moved = Model::Inverse(*was)) {
                    bone.matrix = *moved;
                    changed = true;
                    report.Why("bind", "bone " + Quoted(name) + ": its bind placement moved");
                }
            }
            break;
        }
    }
    return changed;
}

// The base's box grown to hold every vertex: a box the game made with room to spare keeps
// it, as long as nothing leaves it.
void UpdateBox(Model::MeshDesc& desc, Report& report) {
    Vec3 low = desc.boxMin, high = desc.boxMax;
    for (const Model::SubMeshDesc& sub : desc.subMeshes) {
        for (const Vec3& p : sub.positions) {
            for (std::size_t k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], p[k]);
                high[k] = std::max(high[k], p[k]);
            }
        }
    }
    if (low != desc.boxMin || high != desc.boxMax) {
        desc.boxMin = low;
        desc.boxMax = high;
        report.Why("box", "the mesh's box grew");
    }
}

}  // namespace

MeshResult ImportMesh(const BaseModel& base, const Document& doc, const Tolerances& tolerances,
                      Report& report) {
    const Mesh& mesh = *FindBaseMesh(base, doc);
    const bool skinned = Model::IsSkinned(base.meshDesc);
    const std::size_t count = base.mesh.subMeshes.size();
    std::vector<std::vector<const Primitive*>> bySubMesh(
        std::min(count, base.meshDesc.subMeshes.size()));
    std::vector<Added> added;
    for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
        const int sub = SubMeshOf(base, doc, mesh.primitives[p]);
        if (sub >= 0 && static_cast<std::size_t>(sub) < bySubMesh.size()) {
            bySubMesh[static_cast<std::size_t>(sub)].push_back(&mesh.primitives[p]);
        } else {
            added.push_back(
                {mesh.nodeName + "_" + std::to_string(added.size() + 1), &mesh.primitives[p]});
        }
    }
    for (const Mesh& other : doc.meshes) {
        if (&other == &mesh || other.parentNode != mesh.node) {
            continue;
        }
        for (std::size_t p = 0; p < other.primitives.size(); ++p) {
            const std::string suffix = p == 0 ? "" : "_" + std::to_string(p + 1);
            added.push_back({other.nodeName + suffix, &other.primitives[p]});
        }
    }

    MeshResult result;
    result.desc = base.meshDesc;
    result.desc.subMeshes.clear();
    NameKeys keys;
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < bySubMesh.size(); ++i) {
        const std::string name = Base::GbkToUtf8(base.mesh.subMeshes[i].name);
        if (bySubMesh[i].empty()) {
            if (Exported(base.mesh.subMeshes[i])) {
                result.changed = true;
                report.Why("deleted", "sub-mesh " + Quoted(name) + " is not in the glTF: left out");
                continue;
            }
            result.desc.subMeshes.push_back(base.meshDesc.subMeshes[i]);
        } else {
            SubMeshImport sub(base, i, tolerances, report, keys, skinned);
            bool changed = false;
            result.desc.subMeshes.push_back(
                sub.Make(GltfVertices(doc, bySubMesh[i], keys), changed));
            result.changed = result.changed || changed;
            for (const std::string& bone : sub.missingBones) {
                missing.push_back(bone);
            }
            if (sub.cutInfluences > 0) {
                report.Limit("sub-mesh " + Quoted(name) + ": " + std::to_string(sub.cutInfluences) +
                             " vertices had more than four influences; the four largest were kept "
                             "and renormalised");
            }
        }
        result.source.push_back(static_cast<int>(i));
        result.addedMaterial.push_back(-1);
    }
    for (const Added& a : added) {
        std::size_t cut = 0;
        result.desc.subMeshes.push_back(AddedSubMesh(base, doc, a, keys, skinned, missing, cut));
        result.source.push_back(-1);
        result.addedMaterial.push_back(a.primitive->material);
        result.changed = true;
        report.Why("added", "mesh " + Quoted(a.name) + " is new: added as a sub-mesh");
        if (cut > 0) {
            report.Limit("mesh " + Quoted(a.name) + ": " + std::to_string(cut) +
                         " vertices had more than four influences; the four largest were kept "
                         "and renormalised");
        }
    }
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    if (!missing.empty()) {
        Refuse(ErrorKind::Input,
               "weights use joints that are no bones of the base mesh: " + Listed(missing) +
                   "; rename them to bones of the base or remove their weights");
    }
    result.changed = ImportBinds(result.desc, doc, tolerances, report) || result.changed;
    if (result.changed) {
        UpdateBox(result.desc, report);
    }
    return result;
}

}  // namespace Import::Detail
