// vell texture: an archived DDS texture decoded in software and written as a PNG picture.
#include "Cli.h"
#include "base/file.h"
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
    const Dds::PngPicture picture = Dds::EncodePng(Dds::ParseDds(*reader, false));
    if (picture.bytes.empty()) {
        Fail(kFailed, "can't encode " + pos[1] + " as PNG");
    }
    MakeFolderFor(output);
    Base::WriteWholeFile(output, picture.bytes);
    return kOk;
}

}  // namespace Cli
