// Archived DDS files loaded as images for drawing later.
#include "dds/dds.h"

namespace Dds {

std::shared_ptr<const DdsImage> LoadImage(PakMgr::ITreeNode* node) {
    std::unique_ptr<PakMgr::IRead> reader = PakMgr::GetPakMgr()->LoadFile(node);
    if (!reader) {
        return nullptr;
    }
    return std::make_shared<const DdsImage>(ParseDds(*reader, false));
}

}  // namespace Dds
