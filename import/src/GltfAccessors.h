// tinygltf as the import includes it, and the checked reading of accessors: every byte an
// accessor covers lies in its view and buffer before anything is sized by its count.
#pragma once

#include <string>
#include <vector>

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_FS
#define TINYGLTF_USE_CPP14
#include <tiny_gltf.h>

#include "export/gltf_math.h"

namespace Import::Detail {

namespace tg = tinygltf;

[[noreturn]] void Bad(const std::string& message);
// The number as a float; Bad when it is not finite or beyond a float.
float Checked(double value, const std::string& what);

// A node's placement in the file's frame: its matrix (column-major glTF order, which is the
// row-vector layout's row-major order), or the parts of it (identity for those left out;
// the matrix's parts when it has one). Bad when a number is not finite.
Model::Matrix NodeMatrix(const tg::Node& node);
Export::Gltf::Trs NodeTrs(const tg::Node& node);

// An accessor's values as floats (normalised integers scaled as glTF says) or unsigned
// integers, `components` a vertex.
class Accessors {
public:
    explicit Accessors(const tg::Model& model) : m_model(model) {}
    std::vector<float> Floats(int index, int components, const std::string& what) const;
    std::vector<uint32_t> Integers(int index, int components, const std::string& what) const;

private:
    const tg::Accessor& Get(int index, const std::string& what) const;
    std::size_t Stride(const tg::Accessor& a) const;
    const uint8_t* Data(const tg::Accessor& a, const std::string& what) const;

    const tg::Model& m_model;
};

}  // namespace Import::Detail
