// The vertices of one sub-mesh on both sides, in comparable form: the base's as the export
// wrote them (normals made unit length, influences merged by bone name and normalised, the
// share without a bone under one name), the glTF's turned back into the game's frame.
#pragma once

#include <cmath>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Plan.h"

namespace Import::Detail {

// Bone names as small numbers; 0 is the share that no bone holds.
class NameKeys {
public:
    int Key(const std::string& utf8Name);
    const std::string& Name(int key) const { return m_names[static_cast<std::size_t>(key)]; }

private:
    std::unordered_map<std::string, int> m_keys;
    std::vector<std::string> m_names{""};
};

using InfluenceList = std::vector<std::pair<int, float>>;  // by key, weights above zero

struct Vertices {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<Vec2> texCoords;
    std::vector<InfluenceList> influences;  // empty when not known
    std::vector<uint32_t> triangles;        // in the game's winding
    // The base's vertices whose normal another tool can't keep (see MarkLooseNormals); empty
    // for the glTF's.
    std::vector<bool> looseNormal;

    std::size_t Count() const { return positions.size(); }
    bool Loose(std::size_t v) const { return v < looseNormal.size() && looseNormal[v]; }
};

// What the export made of base sub-mesh `index`.
Vertices BaseVertices(const BaseModel& base, std::size_t index, NameKeys& keys, bool skinned);
// Marks the vertices on a triangle of no area, and those whose every triangle is smaller
// than a square of kSmallFace × the model's size (or that no triangle uses). Blender keeps
// a normal relative to the faces around it, and on faces of no size (a strip's joints, the
// poles where a ring of vertices meets in one point) it can't: it makes them up again. A
// loose normal that comes back different, on a vertex in its place, counts as the base's.
inline constexpr float kSmallFace = 5e-3f;
void MarkLooseNormals(Vertices& base, float modelSize);

// The glTF primitives that stand for one sub-mesh, one after another.
Vertices GltfVertices(const Document& doc, const std::vector<const Primitive*>& primitives,
                      NameKeys& keys);

inline bool Near(const float* a, const float* b, std::size_t n, float tolerance) {
    for (std::size_t i = 0; i < n; ++i) {
        if (!(std::abs(a[i] - b[i]) <= tolerance)) {
            return false;
        }
    }
    return true;
}

bool SameInfluences(const InfluenceList& a, const InfluenceList& b, float tolerance);

// Which attributes of two vertices agree.
struct Agreement {
    bool position = false;
    bool normal = false;
    bool texCoord = false;
    bool influences = false;
    bool All() const { return position && normal && texCoord && influences; }
};

Agreement Compare(const Vertices& a, std::size_t i, const Vertices& b, std::size_t j,
                  const Tolerances& t);

// Base vertices found by value: by position (every attribute agreeing), or, for a vertex
// that moved, by everything but the position.
class VertexIndex {
public:
    VertexIndex(const Vertices& base, const Tolerances& tolerances);
    // The first base vertex that agrees in every attribute with `v` of `other`; -1 if none.
    int FindSame(const Vertices& other, std::size_t v) const;
    // The nearest base vertex that agrees in all but the position; -1 if none.
    int FindMoved(const Vertices& other, std::size_t v) const;

private:
    using Cell = std::array<int64_t, 3>;
    struct CellHash {
        std::size_t operator()(const Cell& c) const {
            return static_cast<std::size_t>(static_cast<uint64_t>(c[0]) * 73856093u ^
                                            static_cast<uint64_t>(c[1]) * 19349663u ^
                                            static_cast<uint64_t>(c[2]) * 83492791u);
        }
    };
    Cell CellOf(const Vec3& p) const;
    int64_t TexCell(const Vec2& t) const;

    const Vertices& m_base;
    Tolerances m_tolerances;
    float m_cell;
    std::unordered_map<Cell, std::vector<int>, CellHash> m_byPosition;
    std::unordered_map<int64_t, std::vector<int>> m_byTexCoord;
};

}  // namespace Import::Detail
