// One context's GL textures, made from loaded images at their first use.
#include <GL/gl.h>

#include "texture/texture.h"

namespace Texture {
namespace {

thread_local GpuTextures* g_current = nullptr;

}  // namespace

GpuTextures::~GpuTextures() {
    if (g_current == this) {
        g_current = nullptr;
    }
}

GpuTextures* GpuTextures::Current() {
    return g_current;
}

void GpuTextures::MakeCurrent() {
    g_current = this;
}

unsigned GpuTextures::NameFor(const std::shared_ptr<const Dds::DdsImage>& image) {
    if (!image) {
        return 0;
    }
    auto found = m_textures.find(image.get());
    if (found != m_textures.end() && found->second.image.lock() == image) {
        return found->second.name;
    }
    // A new image, possibly where a released one lived: the released ones go first.
    DeleteReleased();
    const unsigned name = MakeGlTexture(*image);
    m_textures[image.get()] = Entry{image, name};
    return name;
}

void GpuTextures::DeleteReleased() {
    for (auto it = m_textures.begin(); it != m_textures.end();) {
        if (it->second.image.expired()) {
            glDeleteTextures(1, &it->second.name);
            it = m_textures.erase(it);
        } else {
            ++it;
        }
    }
}

void GpuTextures::Release() {
    for (auto& [image, entry] : m_textures) {
        glDeleteTextures(1, &entry.name);
    }
    m_textures.clear();
}

}  // namespace Texture
