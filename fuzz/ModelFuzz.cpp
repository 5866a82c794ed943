// The whole model: the input holds a skin, its mesh, a texture, an animation file and a
// few control bytes (length-prefixed, see SplitParts). The skin is loaded as the whole
// model, the animation bound and played, several frames posed and the pose exported as
// OBJ files into a scratch folder.
#include <cstdint>
#include <cstring>

#include "FuzzGl.h"
#include "FuzzUtil.h"
#include "model/model.h"

namespace {

enum Part { kSkin, kMesh, kTexture, kAnimation, kControl, kPartCount };

struct Control {
    uint8_t animation = 1;
    uint8_t frames[3] = {0, 1, 2};
    float frame = 0.5f;
    float speed = 60.0f;
};

Control ReadControl(const std::vector<uint8_t>& bytes) {
    Control control;
    if (!bytes.empty()) {
        std::memcpy(&control, bytes.data(), std::min(bytes.size(), sizeof control));
    }
    return control;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto parts = Fuzz::SplitParts({data, size}, kPartCount);
    Fuzz::HaveGl();
    const Control control = ReadControl(parts[kControl]);
    const std::vector<Forge::PakFile> files = {
        Fuzz::File("\\chars\\hero\\hero.skn", std::move(parts[kSkin])),
        Fuzz::File("\\chars\\hero\\hero.msh", std::move(parts[kMesh])),
        Fuzz::File("\\chars\\hero\\hero.dds", std::move(parts[kTexture])),
        Fuzz::File("\\chars\\hero\\hero.ani", std::move(parts[kAnimation])),
    };
    if (!Fuzz::OpenGame(files)) {
        return 0;
    }
    PakMgr::IPakMgr& mgr = *PakMgr::GetPakMgr();
    PakMgr::ITreeNode* skinNode = PakMgr::FindPath(mgr, "chars/hero/hero.skn");
    std::unique_ptr<Model::IVellModel> model = Model::CreateModel();
    Fuzz::Refusable([&] { model->Load(skinNode); });
    Fuzz::Refusable([&] { model->LoadAnimation(PakMgr::FindPath(mgr, "chars/hero/hero.ani")); });
    model->PlayAnimation(control.animation);
    model->SetSpeed(control.speed);
    model->GetFrameCount(control.animation);
    for (uint8_t frame : control.frames) {
        model->PoseAt(frame);
    }
    model->PoseAt(control.frame);
    Fuzz::Refusable([&] { model->ExportObj("fuzz", skinNode, Fuzz::FreshFolder("obj")); });
    return 0;
}
