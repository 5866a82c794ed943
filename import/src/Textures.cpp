// The textures: a glTF image named as a base texture that shows other pixels is the
// texture repainted, written as DDS in the base's format (DXT blocks through stb_dxt, or the
// base's uncompressed layout), with as many mip levels as the base has. An added sub-mesh's
// image the base lacks becomes a new texture in the format of the base's first one.
#include <algorithm>
#include <bit>

#include <stb/stb_image.h>

#include "Plan.h"
#include "base/text.h"
#include "dds/dds.h"
#include "dds/format.h"
#include "dds/writer.h"

namespace Import::Detail {
namespace {

constexpr int kChannels = 4;
// Pixels that come back within one step of 255 (a tool's colour handling) are the same.
constexpr int kPixelTolerance = 1;

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

// The image file decoded, its size checked against what the DDS writer takes first.
Picture Decode(const Image& image) {
    if (image.encoded.empty() || image.encoded.size() > INT32_MAX) {
        Refuse(ErrorKind::Corrupt, "image " + image.name + " has no data that can be read");
    }
    const int size = static_cast<int>(image.encoded.size());
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(image.encoded.data(), size, &w, &h, &channels)) {
        Refuse(ErrorKind::Corrupt,
               "image " + image.name + " can't be decoded: " + stbi_failure_reason());
    }
    if (w <= 0 || h <= 0 || static_cast<uint32_t>(w) > Dds::kMaxSide ||
        static_cast<uint32_t>(h) > Dds::kMaxSide ||
        uint64_t{static_cast<uint32_t>(w)} * static_cast<uint32_t>(h) * kChannels >
            Dds::kMaxDecodedBytes) {
        Refuse(ErrorKind::Input, "image " + image.name + " is " + std::to_string(w) + "x" +
                                     std::to_string(h) + "; the DDS writer takes sides of 1 to " +
                                     std::to_string(Dds::kMaxSide) + " pixels and at most " +
                                     std::to_string(Dds::kMaxDecodedBytes >> 20) +
                                     " MiB of pixels: scale it down");
    }
    stbi_uc* pixels =
        stbi_load_from_memory(image.encoded.data(), size, &w, &h, &channels, kChannels);
    if (!pixels) {
        Refuse(ErrorKind::Corrupt,
               "image " + image.name + " can't be decoded: " + stbi_failure_reason());
    }
    Picture picture{static_cast<uint32_t>(w), static_cast<uint32_t>(h), {}};
    picture.rgba.assign(pixels, pixels + std::size_t{picture.width} * picture.height * kChannels);
    stbi_image_free(pixels);
    return picture;
}

bool SamePixels(const Picture& a, const Dds::DdsImage& b, const std::vector<uint8_t>& rgba) {
    if (a.width != b.info.width || a.height != b.info.height || a.rgba.size() != rgba.size()) {
        return false;
    }
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        if (std::abs(int{a.rgba[i]} - int{rgba[i]}) > kPixelTolerance) {
            return false;
        }
    }
    return true;
}

Picture Halved(const Picture& in) {
    Picture out{std::max(1u, in.width / 2), std::max(1u, in.height / 2), {}};
    out.rgba.resize(std::size_t{out.width} * out.height * kChannels);
    for (uint32_t y = 0; y < out.height; ++y) {
        for (uint32_t x = 0; x < out.width; ++x) {
            for (int c = 0; c < kChannels; ++c) {
                unsigned sum = 0;
                for (uint32_t k = 0; k < 4; ++k) {
                    const uint32_t sx = std::min(2 * x + k % 2, in.width - 1);
                    const uint32_t sy = std::min(2 * y + k / 2, in.height - 1);
                    sum += in.rgba[(std::size_t{sy} * in.width + sx) * kChannels +
                                   static_cast<std::size_t>(c)];
                }
                out.rgba[(std::size_t{y} * out.width + x) * kChannels +
                         static_cast<std::size_t>(c)] = static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    }
    return out;
}

// One channel of 8 bits into the bits of its mask.
uint32_t IntoMask(uint8_t value, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const uint32_t top = mask >> shift;
    return ((value * top + 127) / 255) << shift & mask;
}

std::vector<uint8_t> Level(const Picture& p, const Dds::DdsDesc& desc) {
    switch (desc.format) {
        case Dds::DdsFormat::DXT1:
            return Dds::EncodeDxt(Dds::DdsFormat::DXT1, p.width, p.height, p.rgba);
        case Dds::DdsFormat::DXT2:
        case Dds::DdsFormat::DXT3:
            return Dds::EncodeDxt(Dds::DdsFormat::DXT3, p.width, p.height, p.rgba);
        case Dds::DdsFormat::DXT4:
        case Dds::DdsFormat::DXT5:
            return Dds::EncodeDxt(Dds::DdsFormat::DXT5, p.width, p.height, p.rgba);
        case Dds::DdsFormat::Uncompressed:
            break;
    }
    std::vector<uint32_t> words(std::size_t{p.width} * p.height);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const uint8_t* px = &p.rgba[i * kChannels];
        words[i] = IntoMask(px[0], desc.masks[0]) | IntoMask(px[1], desc.masks[1]) |
                   IntoMask(px[2], desc.masks[2]) | IntoMask(px[3], desc.masks[3]);
    }
    return Dds::PackPixelWords(words, desc.bitCount);
}

Dds::DdsFormat FormatOf(Dds::DdsKind kind) {
    switch (kind) {
        case Dds::DdsKind::DXT1:
            return Dds::DdsFormat::DXT1;
        case Dds::DdsKind::DXT2:
            return Dds::DdsFormat::DXT2;
        case Dds::DdsKind::DXT3:
            return Dds::DdsFormat::DXT3;
        case Dds::DdsKind::DXT4:
            return Dds::DdsFormat::DXT4;
        case Dds::DdsKind::DXT5:
            return Dds::DdsFormat::DXT5;
        default:
            return Dds::DdsFormat::Uncompressed;
    }
}

// A DDS of the picture's size in the base's format, with as many mip levels as the base has.
Dds::DdsDesc DescLike(const Picture& picture, const Dds::DdsInfo& base) {
    Dds::DdsDesc desc{.width = picture.width, .height = picture.height};
    desc.format = FormatOf(base.kind);
    if (desc.format == Dds::DdsFormat::Uncompressed) {
        desc.bitCount = base.bitCount;
        std::copy(std::begin(base.masks), std::end(base.masks), desc.masks);
        desc.alpha = (base.pixelFlags & Dds::kPixelAlpha) != 0;
    }
    if (base.mipCount > 1) {
        const uint32_t chain = std::bit_width(std::max(picture.width, picture.height));
        desc.mipMapCount = std::min(base.mipCount, chain);
    }
    return desc;
}

// The picture as a DDS file of that description, each mip level halved from the one above.
std::vector<uint8_t> Encode(const Picture& picture, const Dds::DdsDesc& desc) {
    const uint32_t levels = std::max(desc.mipMapCount, 1u);
    std::vector<uint8_t> pixels;
    Picture level = picture;
    for (uint32_t l = 0; l < levels; ++l) {
        const std::vector<uint8_t> bytes = Level(level, desc);
        pixels.insert(pixels.end(), bytes.begin(), bytes.end());
        if (l + 1 < levels) {
            level = Halved(level);
        }
    }
    return Dds::WriteDds(desc, pixels);
}

bool SeeThrough(const Picture& picture) {
    for (std::size_t i = kChannels - 1; i < picture.rgba.size(); i += kChannels) {
        if (picture.rgba[i] < UINT8_MAX) {
            return true;
        }
    }
    return false;
}

bool KeepsAlpha(const Dds::DdsDesc& desc) {
    switch (desc.format) {
        case Dds::DdsFormat::DXT1:
            return false;  // stb_dxt writes DXT1 opaque
        case Dds::DdsFormat::Uncompressed:
            return desc.alpha && desc.masks[3] != 0;
        default:
            return true;
    }
}

// The format a new texture takes: the base's, so that it looks and weighs as the model's
// others do. A see-through picture in a format without alpha would lose it (an added
// mesh's image is most often a decal, hair, a veil), so it takes DXT5 instead of DXT1,
// whose two end values and eight steps keep soft edges that DXT3's sixteen fixed steps
// band, and the uncompressed layout with eight bits of alpha instead of one without.
Dds::DdsDesc NewDesc(const Picture& picture, PakMgr::ITreeNode* like, bool& alphaAdded) {
    Dds::DdsInfo base{.kind = Dds::DdsKind::DXT1};
    if (like) {
        try {
            const std::vector<uint8_t> bytes = FileBytes(like, ".dds");
            PakMgr::CMemoryRead read(bytes.data(), static_cast<uint32_t>(bytes.size()));
            base = Dds::ParseDds(read, false).info;
        } catch (const Except&) {
            // A base texture that can't be read has no format to follow: DXT1.
        }
    }
    Dds::DdsDesc desc = DescLike(picture, base);
    alphaAdded = SeeThrough(picture) && !KeepsAlpha(desc);
    if (alphaAdded && desc.format == Dds::DdsFormat::Uncompressed) {
        const Dds::DdsDesc layout;  // 32 bits, A8R8G8B8
        desc.bitCount = layout.bitCount;
        std::copy(std::begin(layout.masks), std::end(layout.masks), desc.masks);
        desc.alpha = true;
    } else if (alphaAdded) {
        desc.format = Dds::DdsFormat::DXT5;
    }
    return desc;
}

}  // namespace

std::string TextureStem(const std::string& texture) {
    const std::string name = Base::GbkToUtf8(texture);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::vector<std::string> TextureNames(const Model::Skin& skin) {
    std::vector<std::string> names;
    for (const Model::Material& m : skin.materials) {
        for (const std::string* name :
             {&m.diffuseTexName, &m.emissiveTexName, &m.maskTexName, &m.tattooTexName}) {
            if (!name->empty() && std::find(names.begin(), names.end(), *name) == names.end()) {
                names.push_back(*name);
            }
        }
    }
    return names;
}

std::vector<TextureResult> ImportTextures(const BaseModel& base, const Document& doc,
                                          Report& report) {
    std::vector<TextureResult> results;
    PakMgr::ITreeNode* folder = base.skinNode->GetParent();
    for (const std::string& name : TextureNames(base.skin)) {
        PakMgr::ITreeNode* node = folder ? folder->FindNode(name) : nullptr;
        if (!node) {
            continue;
        }
        TextureResult result{.texture = name, .node = node, .base = FileBytes(node, ".dds")};
        const std::string stem = TextureStem(name);
        const auto image = std::find_if(doc.images.begin(), doc.images.end(),
                                        [&](const Image& i) { return i.name == stem; });
        if (image != doc.images.end()) {
            PakMgr::CMemoryRead read(result.base.data(), static_cast<uint32_t>(result.base.size()));
            Dds::DdsImage old;
            try {
                old = Dds::ParseDds(read, true);
            } catch (const Except&) {
                // The export had no picture of it either: nothing to compare.
                results.push_back(std::move(result));
                continue;
            }
            const Picture picture = Decode(*image);
            if (!SamePixels(picture, old, Dds::DecodeToRgba(old))) {
                result.bytes = Encode(picture, DescLike(picture, old.info));
                report.Why("texture " + stem, "texture " + stem + ": its pixels differ");
            }
        }
        results.push_back(std::move(result));
    }
    return results;
}

std::vector<ImportedFile> MakeNewTextures(const Document& doc, std::span<const NewTexture> added,
                                          Report& report) {
    std::vector<ImportedFile> files;
    files.reserve(added.size());
    for (const NewTexture& texture : added) {
        const Picture picture = Decode(doc.images.at(texture.image));
        bool alphaAdded = false;
        const Dds::DdsDesc desc = NewDesc(picture, texture.like, alphaAdded);
        if (alphaAdded) {
            report.Why("new texture alpha",
                       texture.path +
                           ": its image is see-through, so it keeps an alpha channel "
                           "the base's textures lack");
        }
        files.push_back({texture.path, Encode(picture, desc)});
    }
    return files;
}

}  // namespace Import::Detail
