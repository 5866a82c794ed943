// Archived DDS files loaded as images for drawing later.
#include "texture/texture.h"

namespace Texture {

std::shared_ptr<const DdsImage> LoadImage(PakMgr::ITreeNode* node) {
    std::unique_ptr<PakMgr::IRead> reader = PakMgr::GetPakMgr()->LoadFile(node);
    if (!reader) {
        return nullptr;
    }
    return std::make_shared<const DdsImage>(ParseDds(*reader, false));
}

}  // namespace Texture
