// OpenGL textures made from DDS files: S3TC blocks go to the driver as they are when it
// offers compressed upload, everything else is decoded here first.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "dds/format.h"
#include "texture/texture.h"

namespace Texture {
namespace {

using namespace Dds;

using CompressedTexImage2D = void (*)(GLenum target, GLint level, GLenum internalFormat,
                                      GLsizei width, GLsizei height, GLint border,
                                      GLsizei imageSize, const void* data);

// Per thread, as GL contexts are current per thread: the lookup installed by whoever owns
// the thread's context, and the entry point found through it (looked up again at each
// construction while still missing). A worker making a headless context of its own never
// swaps the lookup of the window's thread.
thread_local ProcAddressFunction g_lookup = nullptr;
thread_local CompressedTexImage2D g_compressedTexImage2D = nullptr;

CompressedTexImage2D CompressedUpload() {
    if (!g_compressedTexImage2D && g_lookup) {
        void* entry = g_lookup("glCompressedTexImage2D");
        if (!entry) {
            entry = g_lookup("glCompressedTexImage2DARB");
        }
        g_compressedTexImage2D = reinterpret_cast<CompressedTexImage2D>(entry);
    }
    return g_compressedTexImage2D;
}

// Whether the current context takes S3TC blocks. A driver without the extension turns the
// compressed upload down and the texture would stay blank: it gets decoded pixels instead.
bool TakesS3tc() {
    const auto* names = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!names) {
        return false;
    }
    constexpr std::string_view kS3tc = "GL_EXT_texture_compression_s3tc";
    const std::string_view all(names);
    for (std::size_t at = all.find(kS3tc); at != std::string_view::npos;
         at = all.find(kS3tc, at + 1)) {
        const std::size_t end = at + kS3tc.size();
        if ((at == 0 || all[at - 1] == ' ') && (end == all.size() || all[end] == ' ')) {
            return true;
        }
    }
    return false;
}

GLenum CompressedFormat(DdsKind kind) {
    switch (kind) {
        case DdsKind::DXT3:
            return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
        case DdsKind::DXT5:
            return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        default:
            return GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    }
}

void UploadDecoded(const DdsInfo& info, uint32_t components, const std::vector<uint8_t>& pixels) {
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    // Rows of 3-component pixels are packed tightly.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(components), static_cast<GLsizei>(info.width),
                 static_cast<GLsizei>(info.height), 0, info.kind == DdsKind::RGB ? GL_RGB : GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// The driver wants exactly the blocks of one width × height image: a volume's further
// slices and a mip chain's smaller levels are left out, and blocks missing from a short
// file are zero.
void UploadCompressed(CompressedTexImage2D upload, const Dds::DdsImage& image) {
    const DdsInfo& info = image.info;
    std::size_t bytes =
        BlocksAcross(info.width) * BlocksAcross(info.height) * BlockBytes(info.kind);
    const uint8_t* data = image.raw.data();
    std::vector<uint8_t> padded;
    if (image.raw.size() < bytes) {
        padded.resize(bytes);
        std::copy(image.raw.begin(), image.raw.end(), padded.begin());
        data = padded.data();
    }
    upload(GL_TEXTURE_2D, 0, CompressedFormat(info.kind), static_cast<GLsizei>(info.width),
           static_cast<GLsizei>(info.height), 0, static_cast<GLsizei>(bytes), data);
}

}  // namespace

void SetProcAddressFunction(ProcAddressFunction function) {
    g_lookup = function;
    g_compressedTexImage2D = nullptr;
}

unsigned MakeGlTexture(const Dds::DdsImage& image) {
    CompressedTexImage2D upload = CompressedUpload();
    if (upload && !TakesS3tc()) {
        upload = nullptr;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    if (!image.decoded.empty()) {
        UploadDecoded(image.info, image.components, image.decoded);
    } else if (upload) {
        UploadCompressed(upload, image);
    } else {
        // S3TC blocks the driver doesn't take are decoded here, as ParseDds would have.
        constexpr uint32_t kRgba = 4;
        UploadDecoded(image.info, kRgba, DecodePixels(image.info, image.raw));
    }
    return name;
}

CDDSTexture::CDDSTexture(PakMgr::IRead* reader)
    : m_name(MakeGlTexture(ParseDds(*reader, !CompressedUpload() || !TakesS3tc()))) {}

CDDSTexture::~CDDSTexture() {
    if (glIsTexture(m_name)) {
        glDeleteTextures(1, &m_name);
    }
}

void CDDSTexture::Bind() {
    if (glIsTexture(m_name)) {
        glBindTexture(GL_TEXTURE_2D, m_name);
    }
}

std::shared_ptr<ITexture> LoadTexture(PakMgr::ITreeNode* node) {
    std::unique_ptr<PakMgr::IRead> reader = PakMgr::GetPakMgr()->LoadFile(node);
    if (!reader) {
        return nullptr;
    }
    return std::make_shared<CDDSTexture>(reader.get());
}

}  // namespace Texture
