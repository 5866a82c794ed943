// The checked reading of a glTF's accessors.
#include "GltfAccessors.h"

#include <cmath>
#include <cstring>

#include "base/except.h"
#include "base/text.h"

namespace Import::Detail {
namespace {

std::size_t ElementSize(const tg::Accessor& a) {
    const int size = tg::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
    const int components = tg::GetNumComponentsInType(static_cast<uint32_t>(a.type));
    if (size <= 0 || components <= 0) {
        Bad("an accessor of an unknown component or element type");
    }
    return static_cast<std::size_t>(size) * static_cast<std::size_t>(components);
}

double Component(const tg::Accessor& a, const uint8_t* p) {
    switch (a.componentType) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT: {
            float v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return a.normalized ? *p / 255.0 : *p;
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            uint16_t v;
            std::memcpy(&v, p, sizeof v);
            return a.normalized ? v / 65535.0 : v;
        }
        default:
            Bad("an attribute of a component type that isn't read");
    }
}

uint32_t Unsigned(int type, const uint8_t* p, const std::string& what) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return *p;
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            uint16_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
            uint32_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        default:
            Bad(what + ": integers of a signed component type");
    }
}

}  // namespace

void Bad(const std::string& message) {
    throw Except::Literal(ErrorKind::Corrupt, Base::Utf8ToGbk(message));
}

float Checked(double value, const std::string& what) {
    if (!std::isfinite(value) || std::abs(value) > 3.0e38) {
        Bad(what + " is not a finite number");
    }
    return static_cast<float>(value);
}

Model::Matrix NodeMatrix(const tg::Node& node) {
    Model::Matrix m{};
    for (std::size_t i = 0; i < 16 && node.matrix.size() == 16; ++i) {
        m[i] = Checked(node.matrix[i], "node " + node.name + " matrix");
    }
    return m;
}

Export::Gltf::Trs NodeTrs(const tg::Node& node) {
    Export::Gltf::Trs trs;
    if (node.matrix.size() == 16) {
        trs = Export::Gltf::Decompose(NodeMatrix(node)).value_or(trs);
    }
    for (std::size_t i = 0; i < 3 && node.translation.size() == 3; ++i) {
        trs.translation[i] = Checked(node.translation[i], "node " + node.name + " translation");
    }
    for (std::size_t i = 0; i < 4 && node.rotation.size() == 4; ++i) {
        trs.rotation[i] = Checked(node.rotation[i], "node " + node.name + " rotation");
    }
    for (std::size_t i = 0; i < 3 && node.scale.size() == 3; ++i) {
        trs.scale[i] = Checked(node.scale[i], "node " + node.name + " scale");
    }
    return trs;
}

std::vector<float> Accessors::Floats(int index, int components, const std::string& what) const {
    const tg::Accessor& a = Get(index, what);
    if (tg::GetNumComponentsInType(static_cast<uint32_t>(a.type)) != components) {
        Bad(what + ": accessor " + std::to_string(index) + " has the wrong type");
    }
    const uint8_t* data = Data(a, what);
    const std::size_t stride = Stride(a);
    const auto size = static_cast<std::size_t>(
        tg::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType)));
    const auto n = static_cast<std::size_t>(components);
    std::vector<float> out(a.count * n);
    for (std::size_t i = 0; i < a.count; ++i) {
        for (std::size_t c = 0; c < n; ++c) {
            out[i * n + c] = Checked(Component(a, data + i * stride + c * size), what);
        }
    }
    return out;
}

std::vector<uint32_t> Accessors::Integers(int index, int components,
                                          const std::string& what) const {
    const tg::Accessor& a = Get(index, what);
    if (tg::GetNumComponentsInType(static_cast<uint32_t>(a.type)) != components ||
        a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
        Bad(what + ": accessor " + std::to_string(index) + " has the wrong type");
    }
    const uint8_t* data = Data(a, what);
    const std::size_t stride = Stride(a);
    const auto size = static_cast<std::size_t>(
        tg::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType)));
    const auto n = static_cast<std::size_t>(components);
    std::vector<uint32_t> out(a.count * n);
    for (std::size_t i = 0; i < a.count; ++i) {
        for (std::size_t c = 0; c < n; ++c) {
            out[i * n + c] = Unsigned(a.componentType, data + i * stride + c * size, what);
        }
    }
    return out;
}

const tg::Accessor& Accessors::Get(int index, const std::string& what) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_model.accessors.size()) {
        Bad(what + ": no accessor " + std::to_string(index));
    }
    const tg::Accessor& a = m_model.accessors[static_cast<std::size_t>(index)];
    if (a.sparse.isSparse) {
        Bad(what + ": sparse accessors are not read");
    }
    return a;
}

std::size_t Accessors::Stride(const tg::Accessor& a) const {
    const tg::BufferView& view = m_model.bufferViews[static_cast<std::size_t>(a.bufferView)];
    return view.byteStride == 0 ? ElementSize(a) : view.byteStride;
}

const uint8_t* Accessors::Data(const tg::Accessor& a, const std::string& what) const {
    if (a.bufferView < 0 || static_cast<std::size_t>(a.bufferView) >= m_model.bufferViews.size()) {
        Bad(what + ": an accessor without a buffer view");
    }
    const tg::BufferView& view = m_model.bufferViews[static_cast<std::size_t>(a.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= m_model.buffers.size()) {
        Bad(what + ": a buffer view without a buffer");
    }
    const std::vector<unsigned char>& buffer =
        m_model.buffers[static_cast<std::size_t>(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset) {
        Bad(what + ": a buffer view past the end of its buffer");
    }
    const std::size_t element = ElementSize(a);
    const std::size_t stride = Stride(a);
    if (stride < element) {
        Bad(what + ": a byte stride shorter than its elements");
    }
    if (a.count > 0) {
        const uint64_t last = uint64_t{a.byteOffset} + uint64_t{stride} * (a.count - 1) + element;
        if (a.count > view.byteLength || last > view.byteLength) {
            Bad(what + ": an accessor of " + std::to_string(a.count) +
                " elements past the end of its buffer view");
        }
    } else if (a.byteOffset > view.byteLength) {
        Bad(what + ": an accessor past the end of its buffer view");
    }
    return buffer.data() + view.byteOffset + a.byteOffset;
}

}  // namespace Import::Detail
