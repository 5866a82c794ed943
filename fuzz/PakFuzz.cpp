// The archive table, LoadFile and LoadHead: the input is a whole pak archive. It is opened,
// its tree built and walked, and every node's file and head loaded.
#include <cstdint>
#include <fstream>

#include "FuzzUtil.h"

namespace {

constexpr std::size_t kHead = 1000;

struct Loader final : PakMgr::ITreeVisitor {
    PakMgr::IPakMgr* mgr;
    uint64_t bytes = 0;

    explicit Loader(PakMgr::IPakMgr* m) : mgr(m) {}
    void Visit(PakMgr::ITreeNode* node) override {
        if (std::unique_ptr<PakMgr::IRead> file = mgr->LoadFile(node)) {
            bytes += file->GetSize();
        }
        std::vector<uint8_t> head;
        uint64_t total = 0;
        if (mgr->LoadHead(node, kHead, head, total)) {
            bytes += head.size();
        }
        node->ForEachChild(this);
    }
};

struct Walker final : PakMgr::ITreeCtrl {
    void* InsertNode(PakMgr::ITreeNode* node, void*, bool) override { return node; }
    void SetNodeData(void*, PakMgr::ITreeNode*) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string folder = Fuzz::FreshFolder("game");
    {
        std::ofstream out(folder + "/data.pak", std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::unique_ptr<PakMgr::IPakMgr> mgr = PakMgr::CreatePakMgr();
    const bool opened = mgr->Open(folder);
    // An archive that reads adds entries; one that doesn't is skipped with a reason.
    if (opened == !mgr->GetSkippedArchives().empty() ||
        (!opened && PakMgr::WhyNoGame(folder) != "no readable .pak in it")) {
        __builtin_trap();
    }
    if (!opened) {
        return 0;
    }
    for (uint32_t i = 0; i <= mgr->GetFileCount(); ++i) {
        mgr->GetFileName(i);
    }
    if (!mgr->BuildTree()) {
        return 0;
    }
    Walker walker;
    mgr->WalkTree(&walker);
    Loader loader(mgr.get());
    mgr->GetRoot()->ForEachChild(&loader);
    std::vector<uint32_t> indices;
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < mgr->GetFileCount(); ++i) {
        mgr->LoadEntry(i, out);
        indices.push_back(i);
    }
    indices.push_back(mgr->GetFileCount());
    mgr->LoadEntries(indices, [](std::size_t, bool, const std::vector<uint8_t>&) {});
    return 0;
}
