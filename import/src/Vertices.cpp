// Both sides of a sub-mesh in comparable form, and the index that finds base vertices by
// value.
#include "Vertices.h"

#include <algorithm>
#include <limits>

#include "base/text.h"
#include "export/gltf_math.h"

namespace Import::Detail {
namespace {

// The joints the export adds for shares that no bone holds.
constexpr const char* kNoBoneJoints[] = {"vell_static", "vell_origin"};
constexpr float kWholeWeight = 1e-5f;  // weights this close to a sum of 1 make 1, as exported

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

// A cell number; values far past any model's share the last cells.
int64_t CellNumber(double value) {
    constexpr double kFarthest = 1e15;
    return static_cast<int64_t>(std::floor(std::clamp(value, -kFarthest, kFarthest)));
}

void Add(InfluenceList& list, int key, float weight) {
    for (auto& [k, w] : list) {
        if (k == key) {
            w += weight;
            return;
        }
    }
    list.emplace_back(key, weight);
}

void Normalise(InfluenceList& list, float sum) {
    for (auto& entry : list) {
        entry.second /= sum;
    }
    std::sort(list.begin(), list.end());
}

// The shares as the export wrote them for a sub-mesh whose weights it read.
InfluenceList BaseInfluences(const Model::Mesh& mesh, const Model::SubMesh& sub, std::size_t v,
                             NameKeys& keys) {
    InfluenceList list;
    if (v >= sub.boneIndices.size() || v >= sub.boneWeights.size()) {
        return {{0, 1.0f}};
    }
    float sum = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        const float w = Finite(sub.boneWeights[v][k]);
        if (!(w > 0)) {
            continue;
        }
        const uint16_t s = sub.boneIndices[v][k];
        const uint16_t m = s < sub.boneMap.size() ? sub.boneMap[s] : Model::kNoBone;
        Add(list, m < mesh.bones.size() ? keys.Key(Base::GbkToUtf8(mesh.bones[m].name)) : 0, w);
        sum += w;
    }
    if (sum < 1 - kWholeWeight) {
        Add(list, 0, 1 - sum);
        sum = 1;
    }
    Normalise(list, sum);
    return list;
}

bool Blends(const Model::Mesh& mesh, const Model::SubMesh& sub) {
    return !mesh.bones.empty() && !sub.boneMap.empty() && !sub.boneIndices.empty() &&
           !sub.boneWeights.empty();
}

// The triangles the export wrote, back in the game's winding: strips as lists, without
// degenerate triangles or corners past the vertices.
std::vector<uint32_t> ExportedTriangles(const Model::SubMesh& sub) {
    const std::vector<uint16_t>& idx = sub.indices;
    const std::size_t n = sub.positions.size();
    std::vector<uint32_t> out;
    auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (a != b && b != c && a != c && a < n && b < n && c < n) {
            out.insert(out.end(), {a, b, c});
        }
    };
    if (sub.primitive == Model::kTriangles) {
        for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
            add(idx[t], idx[t + 1], idx[t + 2]);
        }
        return out;
    }
    for (std::size_t k = 2; k < idx.size(); ++k) {
        if (k % 2 == 0) {
            add(idx[k - 2], idx[k - 1], idx[k]);
        } else {
            add(idx[k - 1], idx[k - 2], idx[k]);
        }
    }
    return out;
}

}  // namespace

int NameKeys::Key(const std::string& utf8Name) {
    for (const char* none : kNoBoneJoints) {
        if (utf8Name == none) {
            return 0;
        }
    }
    auto [it, added] = m_keys.emplace(utf8Name, static_cast<int>(m_names.size()));
    if (added) {
        m_names.push_back(utf8Name);
    }
    return it->second;
}

Vertices BaseVertices(const BaseModel& base, std::size_t index, NameKeys& keys, bool skinned) {
    const Model::SubMesh& sub = base.mesh.subMeshes[index];
    Vertices out;
    const std::size_t n = sub.positions.size();
    out.positions.resize(n);
    out.normals.resize(n, Vec3{0, 1, 0});
    out.texCoords.resize(n, Vec2{0, 0});
    for (std::size_t v = 0; v < n; ++v) {
        const Vec3& p = sub.positions[v];
        out.positions[v] = {Finite(p[0]), Finite(p[1]), Finite(p[2])};
        if (v < sub.normals.size()) {
            const Vec3& d = sub.normals[v];
            const Vec4 unit =
                Export::Gltf::Normalized({Finite(d[0]), Finite(d[1]), Finite(d[2]), 0});
            out.normals[v] = unit[3] != 0 ? Vec3{0, 1, 0} : Vec3{unit[0], unit[1], unit[2]};
        }
        if (v < sub.texCoords.size()) {
            out.texCoords[v] = {Finite(sub.texCoords[v][0]), Finite(sub.texCoords[v][1])};
        }
    }
    if (skinned) {
        const bool blends = Blends(base.mesh, sub);
        out.influences.resize(n);
        for (std::size_t v = 0; v < n; ++v) {
            out.influences[v] =
                blends ? BaseInfluences(base.mesh, sub, v, keys) : InfluenceList{{0, 1.0f}};
        }
    }
    out.triangles = ExportedTriangles(sub);
    return out;
}

void MarkLooseNormals(Vertices& base, float modelSize) {
    const double smallest = double{kSmallFace} * modelSize * kSmallFace * modelSize;
    std::vector<bool> onLargeFace(base.Count(), false);
    std::vector<bool> onFaceOfNoArea(base.Count(), false);
    const std::vector<uint32_t>& t = base.triangles;
    for (std::size_t i = 0; i + 2 < t.size(); i += 3) {
        const Vec3& a = base.positions[t[i]];
        const Vec3& b = base.positions[t[i + 1]];
        const Vec3& c = base.positions[t[i + 2]];
        const double u[3] = {double{b[0]} - a[0], double{b[1]} - a[1], double{b[2]} - a[2]};
        const double v[3] = {double{c[0]} - a[0], double{c[1]} - a[1], double{c[2]} - a[2]};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                             u[0] * v[1] - u[1] * v[0]};
        const double area = 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (std::size_t k = 0; k < 3; ++k) {
            if (!(area > 0)) {
                onFaceOfNoArea[t[i + k]] = true;
            } else if (!(area < smallest)) {
                onLargeFace[t[i + k]] = true;
            }
        }
    }
    base.looseNormal.resize(base.Count());
    for (std::size_t v = 0; v < base.Count(); ++v) {
        base.looseNormal[v] = onFaceOfNoArea[v] || !onLargeFace[v];
    }
}

Vertices GltfVertices(const Document& doc, const std::vector<const Primitive*>& primitives,
                      NameKeys& keys) {
    Vertices out;
    bool influences = !primitives.empty();
    for (const Primitive* p : primitives) {
        influences = influences && !p->influences.empty();
    }
    for (const Primitive* p : primitives) {
        const auto first = static_cast<uint32_t>(out.Count());
        out.positions.insert(out.positions.end(), p->positions.begin(), p->positions.end());
        out.normals.insert(out.normals.end(), p->normals.begin(), p->normals.end());
        out.texCoords.insert(out.texCoords.end(), p->texCoords.begin(), p->texCoords.end());
        for (uint32_t corner : p->triangles) {
            out.triangles.push_back(first + corner);
        }
        if (!influences) {
            continue;
        }
        for (const Influences& in : p->influences) {
            InfluenceList list;
            float sum = 0;
            for (uint32_t k = 0; k < in.count; ++k) {
                if (in.joint[k] >= doc.joints.size()) {
                    throw Except(ErrorKind::Corrupt, "joint %u past the skin's %zu joints",
                                 in.joint[k], doc.joints.size());
                }
                Add(list, keys.Key(doc.joints[in.joint[k]].name), in.weight[k]);
                sum += in.weight[k];
            }
            Normalise(list, sum > 0 ? sum : 1.0f);
            out.influences.push_back(std::move(list));
        }
    }
    return out;
}

bool SameInfluences(const InfluenceList& a, const InfluenceList& b, float tolerance) {
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i].first < b[j].first)) {
            if (a[i++].second > tolerance) {
                return false;
            }
        } else if (i == a.size() || b[j].first < a[i].first) {
            if (b[j++].second > tolerance) {
                return false;
            }
        } else if (!(std::abs(a[i++].second - b[j++].second) <= tolerance)) {
            return false;
        }
    }
    return true;
}

Agreement Compare(const Vertices& a, std::size_t i, const Vertices& b, std::size_t j,
                  const Tolerances& t) {
    Agreement agree;
    agree.position = Near(a.positions[i].data(), b.positions[j].data(), 3, t.length);
    agree.normal = Near(a.normals[i].data(), b.normals[j].data(), 3, t.normal) ||
                   (agree.position && (a.Loose(i) || b.Loose(j)));
    agree.texCoord = Near(a.texCoords[i].data(), b.texCoords[j].data(), 2, t.texCoord);
    agree.influences = a.influences.empty() || b.influences.empty() ||
                       SameInfluences(a.influences[i], b.influences[j], t.weight);
    return agree;
}

VertexIndex::VertexIndex(const Vertices& base, const Tolerances& tolerances)
    : m_base(base),
      m_tolerances(tolerances),
      m_cell(std::max(4 * tolerances.length, std::numeric_limits<float>::min())) {
    for (std::size_t v = 0; v < base.Count(); ++v) {
        m_byPosition[CellOf(base.positions[v])].push_back(static_cast<int>(v));
        m_byTexCoord[TexCell(base.texCoords[v])].push_back(static_cast<int>(v));
    }
}

VertexIndex::Cell VertexIndex::CellOf(const Vec3& p) const {
    Cell c;
    for (std::size_t k = 0; k < 3; ++k) {
        c[k] = CellNumber(static_cast<double>(p[k]) / m_cell);
    }
    return c;
}

int64_t VertexIndex::TexCell(const Vec2& t) const {
    // Coarse cells: a moved vertex is looked for among the few of nearly its coordinates.
    constexpr double kTexCell = 1.0 / 4096;
    const int64_t u = CellNumber(t[0] / kTexCell);
    const int64_t v = CellNumber(t[1] / kTexCell);
    return static_cast<int64_t>(static_cast<uint64_t>(u) * 1000003u + static_cast<uint64_t>(v));
}

int VertexIndex::FindSame(const Vertices& other, std::size_t v) const {
    const Cell home = CellOf(other.positions[v]);
    int best = -1;
    for (int64_t dx = -1; dx <= 1; ++dx) {
        for (int64_t dy = -1; dy <= 1; ++dy) {
            for (int64_t dz = -1; dz <= 1; ++dz) {
                const auto found = m_byPosition.find({home[0] + dx, home[1] + dy, home[2] + dz});
                if (found == m_byPosition.end()) {
                    continue;
                }
                for (int b : found->second) {
                    if ((best < 0 || b < best) &&
                        Compare(other, v, m_base, static_cast<std::size_t>(b), m_tolerances)
                            .All()) {
                        best = b;
                    }
                }
            }
        }
    }
    return best;
}

int VertexIndex::FindMoved(const Vertices& other, std::size_t v) const {
    const Vec2& t = other.texCoords[v];
    int best = -1;
    float bestDistance = 0;
    constexpr double kTexCell = 1.0 / 4096;
    for (int du = -1; du <= 1; ++du) {
        for (int dv = -1; dv <= 1; ++dv) {
            const Vec2 probe{static_cast<float>(t[0] + du * kTexCell),
                             static_cast<float>(t[1] + dv * kTexCell)};
            const auto found = m_byTexCoord.find(TexCell(probe));
            if (found == m_byTexCoord.end()) {
                continue;
            }
            for (int b : found->second) {
                const Agreement agree =
                    Compare(other, v, m_base, static_cast<std::size_t>(b), m_tolerances);
                if (!agree.normal || !agree.texCoord || !agree.influences) {
                    continue;
                }
                float distance = 0;
                for (std::size_t k = 0; k < 3; ++k) {
                    const float d = other.positions[v][k] - m_base.positions[b][k];
                    distance += d * d;
                }
                if (best < 0 || distance < bestDistance) {
                    best = b;
                    bestDistance = distance;
                }
            }
        }
    }
    return best;
}

}  // namespace Import::Detail
