// OpenGL textures made from DDS images: the upload, and the store of one context's textures
// through which drawing finds the GL texture of a loaded image.
#pragma once

#include <map>
#include <memory>

#include "dds/dds.h"

namespace Texture {

// How the current GL context's extension entry points are found, for the calling thread. The
// headless context and the desktop view each install theirs on the thread they are made on;
// installing one drops the entry point that thread found so far.
using ProcAddressFunction = void* (*)(const char* name);
void SetProcAddressFunction(ProcAddressFunction function);

struct ITexture {
    virtual ~ITexture() = default;
    virtual void Bind() = 0;
};

// A GL texture made from a DDS file; a GL context must be current.
class CDDSTexture final : public ITexture {
public:
    explicit CDDSTexture(PakMgr::IRead* reader);
    ~CDDSTexture() override;
    CDDSTexture(const CDDSTexture&) = delete;
    CDDSTexture& operator=(const CDDSTexture&) = delete;
    void Bind() override;
    unsigned Name() const { return m_name; }

private:
    unsigned m_name = 0;
};

// Reads the node through the archive manager and makes its texture; null when the node
// can't be read. Parse failures throw Except.
std::shared_ptr<ITexture> LoadTexture(PakMgr::ITreeNode* node);

// Makes a GL texture of the image in the current context: S3TC blocks as they are when the
// driver takes them, decoded pixels otherwise. Returns the texture's name.
unsigned MakeGlTexture(const Dds::DdsImage& image);

// One context's GL textures, made from loaded images at their first use and kept while the
// image lives. Whoever owns a context owns its store and makes it current with the context;
// drawing uses the store current on its thread. Names are deleted only by Release,
// DeleteReleased or a later NameFor, all called with the store's context current; a store
// that is destroyed forgets its names (its context is gone with them, or goes next).
class GpuTextures {
public:
    GpuTextures() = default;
    ~GpuTextures();
    GpuTextures(const GpuTextures&) = delete;
    GpuTextures& operator=(const GpuTextures&) = delete;

    // The store drawing on this thread uses; null when none is.
    static GpuTextures* Current();
    // Makes this the current store of this thread; its context must be current.
    void MakeCurrent();

    // The image's texture in this context, made now when it has none yet; 0 for no image.
    // Textures of images released since are deleted first.
    unsigned NameFor(const std::shared_ptr<const Dds::DdsImage>& image);
    // Deletes every texture of this store; its context must be current.
    void Release();
    // Deletes the textures of images released since they were made (a model closed or
    // replaced), so that their memory doesn't wait for the next texture to be made.
    void DeleteReleased();
    // The texture names alive in this store.
    std::size_t Count() const { return m_textures.size(); }

private:
    struct Entry {
        std::weak_ptr<const Dds::DdsImage> image;
        unsigned name = 0;
    };

    std::map<const Dds::DdsImage*, Entry> m_textures;
};

}  // namespace Texture
