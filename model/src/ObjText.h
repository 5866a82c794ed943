// The text of the OBJ files the model exports.
#pragma once

#include <string>
#include <string_view>

#include "model/records.h"

namespace Model {

// "<name>_NN.obj", made safe to create inside the output folder.
std::string ObjFileName(const std::string& subMeshName, std::size_t index);

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
