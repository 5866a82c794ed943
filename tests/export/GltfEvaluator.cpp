#include "GltfEvaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>

#include "TestUtil.h"

namespace GltfEval {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, std::size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The i-th component of type T from unaligned little-endian bytes.
template <typename T>
double Value(const uint8_t* p, std::size_t i) {
    T v;
    std::memcpy(&v, p + sizeof(T) * i, sizeof v);
    return static_cast<double>(v);
}

int Components(const std::string& type) {
    static const std::map<std::string, int> kCount = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    return kCount.at(type);
}

Mat4d Identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat4d Mul(const Mat4d& a, const Mat4d& b) {
    Mat4d r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k) {
                s += a[k * 4 + row] * b[col * 4 + k];
            }
            r[col * 4 + row] = s;
        }
    }
    return r;
}

Vec3d Apply(const Mat4d& m, const Vec3d& p) {
    Vec3d r;
    for (int row = 0; row < 3; ++row) {
        r[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    }
    return r;
}

struct Trs {
    std::array<double, 3> t{0, 0, 0};
    std::array<double, 4> r{0, 0, 0, 1};
    std::array<double, 3> s{1, 1, 1};
};

Mat4d TrsMatrix(const Trs& v) {
    const double x = v.r[0], y = v.r[1], z = v.r[2], w = v.r[3];
    // Column-major rotation of a unit quaternion, a column a line.
    // clang-format off
    Mat4d r = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
               2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
               2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
               v.t[0], v.t[1], v.t[2], 1};
    // clang-format on
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row) {
            r[col * 4 + row] *= v.s[col];
        }
    }
    return r;
}

template <std::size_t N>
std::array<double, N> JsonArray(const nlohmann::json& j, std::array<double, N> fallback) {
    if (j.is_null()) {
        return fallback;
    }
    std::array<double, N> a;
    for (std::size_t i = 0; i < N; ++i) {
        a[i] = j.at(i).get<double>();
    }
    return a;
}

std::array<double, 4> Slerp(std::array<double, 4> a, std::array<double, 4> b, double t) {
    double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (d < 0) {
        d = -d;
        for (double& v : b) {
            v = -v;
        }
    }
    std::array<double, 4> r;
    if (d > 0.9999999) {
        for (int i = 0; i < 4; ++i) {
            r[i] = a[i] + (b[i] - a[i]) * t;
        }
    } else {
        const double theta = std::acos(d);
        const double s = std::sin(theta);
        for (int i = 0; i < 4; ++i) {
            r[i] = (a[i] * std::sin((1 - t) * theta) + b[i] * std::sin(t * theta)) / s;
        }
    }
    const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3]);
    for (double& v : r) {
        v /= len;
    }
    return r;
}

// One channel's value at `time`: exact at a key time, LINEAR between keys, clamped outside.
std::vector<double> Sample(const Document& doc, const nlohmann::json& sampler, int width,
                           double time) {
    const std::vector<double> times = ReadAccessor(doc, sampler.at("input").get<int>());
    const std::vector<double> values = ReadAccessor(doc, sampler.at("output").get<int>());
    auto value = [&](std::size_t i) {
        return std::vector<double>(values.begin() + i * width, values.begin() + (i + 1) * width);
    };
    constexpr double kSameTime = 1e-6;
    if (time <= times.front() + kSameTime) {
        return value(0);
    }
    if (time >= times.back() - kSameTime) {
        return value(times.size() - 1);
    }
    std::size_t i = 0;
    while (i + 1 < times.size() && times[i + 1] <= time) {
        ++i;
    }
    if (std::abs(times[i] - time) < kSameTime) {
        return value(i);
    }
    if (std::abs(times[i + 1] - time) < kSameTime) {
        return value(i + 1);
    }
    const double t = (time - times[i]) / (times[i + 1] - times[i]);
    std::vector<double> a = value(i), b = value(i + 1), r(width);
    if (width == 4) {
        auto q = Slerp({a[0], a[1], a[2], a[3]}, {b[0], b[1], b[2], b[3]}, t);
        return {q[0], q[1], q[2], q[3]};
    }
    for (int k = 0; k < width; ++k) {
        r[k] = a[k] + (b[k] - a[k]) * t;
    }
    return r;
}

std::string DecodeUri(const std::string& uri) {
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size()) {
            out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

}  // namespace

Document Load(const std::string& path) {
    Document doc;
    std::vector<uint8_t> bytes = TestUtil::ReadBytes(path);
    // A .glb starts with its magic; anything else is the JSON of a .gltf.
    if (bytes.size() < 4 || U32(bytes, 0) != 0x46546C67u) {
        doc.json = nlohmann::json::parse(bytes.begin(), bytes.end());
        if (doc.json.contains("buffers")) {
            const std::string uri = doc.json["buffers"][0]["uri"].get<std::string>();
            const std::string folder = path.substr(0, path.find_last_of('/') + 1);
            doc.bin = TestUtil::ReadBytes(folder + DecodeUri(uri));
        }
        return doc;
    }
    EXPECT_GE(bytes.size(), 20u);
    EXPECT_EQ(U32(bytes, 0), 0x46546C67u);
    EXPECT_EQ(U32(bytes, 8), bytes.size());
    const uint32_t jsonLength = U32(bytes, 12);
    EXPECT_EQ(U32(bytes, 16), 0x4E4F534Au);
    doc.json = nlohmann::json::parse(bytes.begin() + 20, bytes.begin() + 20 + jsonLength);
    const std::size_t binAt = 20 + jsonLength;
    if (binAt + 8 <= bytes.size()) {
        const uint32_t binLength = U32(bytes, binAt);
        EXPECT_EQ(U32(bytes, binAt + 4), 0x004E4942u);
        doc.bin.assign(bytes.begin() + binAt + 8, bytes.begin() + binAt + 8 + binLength);
    }
    return doc;
}

void ExpectValid(const std::string& path) {
    const TestUtil::RunResult r = TestUtil::Run(NODE_PROGRAM, {GLTF_CHECKS "/validate.js", path});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

std::vector<double> ReadAccessor(const Document& doc, int index) {
    const nlohmann::json& a = doc.json.at("accessors").at(index);
    const nlohmann::json& view = doc.json.at("bufferViews").at(a.at("bufferView").get<int>());
    const std::size_t start =
        view.value("byteOffset", std::size_t{0}) + a.value("byteOffset", std::size_t{0});
    const std::size_t count = a.at("count").get<std::size_t>() * Components(a.at("type"));
    const int type = a.at("componentType").get<int>();
    const std::size_t size = type == 5121 ? 1 : type == 5123 ? 2 : 4;
    if (type != 5121 && type != 5123 && type != 5125 && type != 5126) {
        ADD_FAILURE() << "component type " << type;
        return std::vector<double>(count);
    }
    if (start + count * size > doc.bin.size()) {
        ADD_FAILURE() << "accessor " << index << " runs past the buffer";
        return std::vector<double>(count);
    }
    std::vector<double> out(count);
    const uint8_t* p = doc.bin.data() + start;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = type == 5126   ? Value<float>(p, i)
                 : type == 5121 ? Value<uint8_t>(p, i)
                 : type == 5123 ? Value<uint16_t>(p, i)
                                : Value<uint32_t>(p, i);
    }
    return out;
}

std::vector<Mat4d> WorldMatrices(const Document& doc, int animation, double time) {
    const nlohmann::json nodes = doc.json.value("nodes", nlohmann::json::array());
    std::vector<Trs> local(nodes.size());
    std::vector<bool> hasMatrix(nodes.size(), false);
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        local[n].t = JsonArray<3>(nodes[n].value("translation", nlohmann::json()), {0, 0, 0});
        local[n].r = JsonArray<4>(nodes[n].value("rotation", nlohmann::json()), {0, 0, 0, 1});
        local[n].s = JsonArray<3>(nodes[n].value("scale", nlohmann::json()), {1, 1, 1});
        hasMatrix[n] = nodes[n].contains("matrix");
    }
    if (animation >= 0) {
        const nlohmann::json& anim = doc.json.at("animations").at(animation);
        for (const nlohmann::json& channel : anim.at("channels")) {
            const int node = channel.at("target").at("node").get<int>();
            const std::string path = channel.at("target").at("path").get<std::string>();
            const nlohmann::json& sampler =
                anim.at("samplers").at(channel.at("sampler").get<int>());
            EXPECT_EQ(sampler.value("interpolation", std::string("LINEAR")), "LINEAR");
            const std::vector<double> v = Sample(doc, sampler, path == "rotation" ? 4 : 3, time);
            if (path == "translation") {
                local[node].t = {v[0], v[1], v[2]};
            } else if (path == "rotation") {
                local[node].r = {v[0], v[1], v[2], v[3]};
            } else if (path == "scale") {
                local[node].s = {v[0], v[1], v[2]};
            }
        }
    }
    std::vector<Mat4d> world(nodes.size(), Identity());
    std::vector<int> parentOf(nodes.size(), -1);
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        for (const auto& c : nodes[n].value("children", nlohmann::json::array())) {
            parentOf[c.get<std::size_t>()] = static_cast<int>(n);
        }
    }
    std::vector<bool> done(nodes.size(), false);
    std::function<void(std::size_t)> resolve = [&](std::size_t n) {
        if (done[n]) {
            return;
        }
        Mat4d m = TrsMatrix(local[n]);
        if (hasMatrix[n]) {
            for (int i = 0; i < 16; ++i) {
                m[i] = nodes[n]["matrix"][i].get<double>();
            }
        }
        if (parentOf[n] >= 0) {
            resolve(static_cast<std::size_t>(parentOf[n]));
            m = Mul(world[static_cast<std::size_t>(parentOf[n])], m);
        }
        world[n] = m;
        done[n] = true;
    };
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        resolve(n);
    }
    return world;
}

std::vector<PosedPrimitive> Evaluate(const Document& doc, int animation, double time) {
    const nlohmann::json nodes = doc.json.value("nodes", nlohmann::json::array());
    const std::vector<Mat4d> world = WorldMatrices(doc, animation, time);
    std::vector<PosedPrimitive> out;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        if (!nodes[n].contains("mesh")) {
            continue;
        }
        const nlohmann::json& mesh = doc.json.at("meshes").at(nodes[n]["mesh"].get<int>());
        std::vector<Mat4d> jointMatrices;
        if (nodes[n].contains("skin")) {
            const nlohmann::json& skin = doc.json.at("skins").at(nodes[n]["skin"].get<int>());
            const std::vector<double> ibm =
                ReadAccessor(doc, skin.at("inverseBindMatrices").get<int>());
            for (std::size_t j = 0; j < skin.at("joints").size(); ++j) {
                Mat4d inverseBind;
                std::copy(ibm.begin() + 16 * j, ibm.begin() + 16 * (j + 1), inverseBind.begin());
                jointMatrices.push_back(
                    Mul(world[skin["joints"][j].get<std::size_t>()], inverseBind));
            }
        }
        for (const nlohmann::json& prim : mesh.at("primitives")) {
            const nlohmann::json& attributes = prim.at("attributes");
            const std::vector<double> p = ReadAccessor(doc, attributes.at("POSITION").get<int>());
            PosedPrimitive posed;
            posed.mesh = mesh.value("name", std::string());
            const nlohmann::json extras = prim.value("extras", nlohmann::json::object());
            posed.subMesh = extras.value("subMesh", -1);
            posed.name = extras.value("name", std::string());
            const std::size_t count = p.size() / 3;
            std::vector<std::vector<double>> joints, weights;
            for (int set = 0; attributes.contains("JOINTS_" + std::to_string(set)); ++set) {
                joints.push_back(
                    ReadAccessor(doc, attributes["JOINTS_" + std::to_string(set)].get<int>()));
                weights.push_back(
                    ReadAccessor(doc, attributes["WEIGHTS_" + std::to_string(set)].get<int>()));
            }
            for (std::size_t v = 0; v < count; ++v) {
                const Vec3d point = {p[3 * v], p[3 * v + 1], p[3 * v + 2]};
                if (jointMatrices.empty()) {
                    posed.positions.push_back(Apply(world[n], point));
                    continue;
                }
                Vec3d sum{0, 0, 0};
                for (std::size_t set = 0; set < joints.size(); ++set) {
                    for (int k = 0; k < 4; ++k) {
                        const double w = weights[set][4 * v + k];
                        const Vec3d q = Apply(
                            jointMatrices.at(static_cast<std::size_t>(joints[set][4 * v + k])),
                            point);
                        for (int c = 0; c < 3; ++c) {
                            sum[c] += w * q[c];
                        }
                    }
                }
                posed.positions.push_back(sum);
            }
            out.push_back(std::move(posed));
        }
    }
    return out;
}

}  // namespace GltfEval
