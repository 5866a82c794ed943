// vell texture: an archived DDS texture decoded in software and written as a PNG picture.
#include "Cli.h"
#include "dds/dds.h"

namespace Cli {

int CmdTexture(std::span<char*> argv) {
    Args args(argv, {"-o"}, {});
    const auto& pos = args.Positionals();
    ExpectPositionals(args, {"GAME_DIR", "DDS_PATH"});
    const std::string output = args.Required("-o");
    PakMgr::IPakMgr& mgr = OpenGame(pos[0]);
    PakMgr::ITreeNode* node = NodeAt(mgr, pos[1]);
    std::unique_ptr<PakMgr::IRead> reader = mgr.LoadFile(node);
    if (!reader) {
        Fail(kFailed, "can't read " + pos[1]);
    }
    Dds::DdsImage image = Dds::ParseDds(*reader, true);
    std::vector<uint8_t> rgba = Dds::DecodeToRgba(image);
    MakeFolderFor(output);
    Dds::WritePng(output, image.info.width, image.info.height, rgba);
    return kOk;
}

}  // namespace Cli
