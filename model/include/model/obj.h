// The text of the OBJ files the model exports.
#pragma once

#include <string>
#include <string_view>

#include "model/records.h"

namespace Model {

// "<name>_NN.obj", made safe to create inside the output folder; with `cuts`, a cut name
// that meets another of the export's is told apart.
std::string ObjFileName(const std::string& subMeshName, std::size_t index,
                        PakMgr::CutNames* cuts = nullptr);

// Appends a sub-mesh's OBJ text: the comment (UTF-8), mirrored positions and normals,
// flipped texture rows, the group and its faces.
void AppendObjText(std::string& out, const SubMesh& subMesh, std::string_view comment);

// What `--mtl` adds: the material library and material the faces use; faces then wind to
// agree with their normals.
struct ObjMaterialRef {
    std::string_view library;
    std::string_view material;
};
void AppendObjText(std::string& out, const SubMesh& subMesh, std::string_view comment,
                   const ObjMaterialRef& material);

}  // namespace Model
