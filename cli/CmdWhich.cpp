// vell which: every record of the archives that holds a path, the one that wins first.
#include "Cli.h"

namespace Cli {

int CmdWhich(std::span<char*> argv) {
    Args args(argv, {}, {});
    ExpectPositionals(args, {"GAME_DIR", "PATH"});
    const std::string& path = args.Positionals()[1];
    PakMgr::IPakMgr& mgr = OpenGame(args.Positionals()[0]);
    const std::vector<uint32_t> records = PakMgr::Records(mgr, PakMgr::FindPath(mgr, path));
    if (records.empty()) {
        Fail(kFailed, "no record holds " + path);
    }
    Output out;
    PakMgr::PakEntry entry;
    // As `vell list` prints them, the record the tree reads first.
    for (const uint32_t index : records) {
        if (mgr.GetEntry(index, entry)) {
            out.Put(PakMgr::RecordLine(index, entry));
        }
    }
    return kOk;
}

}  // namespace Cli
