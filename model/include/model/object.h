// The model object's implementation class, shared by the files that implement its parts
// (loading and playback, posing, drawing, the exports), and by the tools and tests that build
// a model by hand or look inside one. Front ends use IVellModel (model/model.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "model/drawing.h"
#include "model/model.h"
#include "model/records.h"

namespace Model {

// Part slots: 0 the whole model, 1 to 8 the body parts, 9 the attachment.
inline constexpr std::size_t kSlotCount = 10;
inline constexpr std::size_t kWholeModel = 0;
inline constexpr std::size_t kAttachment = 9;
inline constexpr std::size_t kFirstPart = 1;
inline constexpr std::size_t kLastPart = 8;

struct PlaybackState {
    int32_t lastFrame = 0;  // frame count of the playing animation - 1
    float framesPerSecond = 60.0f;
    bool stopped = true;
    int32_t animation = 0;   // index within the skeleton
    float frameStep = 1.0f;  // frames advanced per exported frame
    float currentFrame = 0.0f;
    bool paused = false;  // held by the timeline: the clock does not advance it
    // An animation was started and neither ResetPose nor a whole model ended it since: a
    // speed of 0 holds it on its frame.
    bool started = false;
};

// The slot a .skn node loads into: kWholeModel, or a body part when the node lies in a
// folder named exactly "parts" and its name holds a part keyword.
std::size_t ChooseSlot(const std::string& name, const std::string& parentName);

// Advances playback by dt seconds; true when the integer frame changed.
bool PlaybackStep(PlaybackState& playback, float dt);
// Applies a new speed and the export step it implies.
void ApplySpeed(PlaybackState& playback, float framesPerSecond);
// The number of frames a frame export writes for this state.
unsigned ExportFrameCount(const PlaybackState& playback);

class CVellModel final : public IVellModel {
public:
    // A millisecond tick count, read as a wrapping unsigned 32-bit value.
    using Clock = std::function<uint32_t()>;

    explicit CVellModel(std::unique_ptr<IModelRenderer> renderer = nullptr);

    bool Load(PakMgr::ITreeNode* node) override;
    void LoadAnimation(PakMgr::ITreeNode* node) override;
    void GetBoundingBox(float* min, float* max) override;
    void Draw() override;
    void Update() override;
    void SetPolygonMode(PolygonMode mode) override;
    bool ToggleSkeleton() override;
    void EnumAnimations(IStringList* list) override;
    void PlayAnimation(unsigned index) override;
    bool IsDrawEnabled() override;
    void SetSpeed(float framesPerSecond) override;
    void EnumSubMeshes(IStringList* list) override;
    void SetSubMeshVisible(unsigned index, bool visible) override;
    bool ExportFrames(const std::string& folder, IAnimate* sink) override;
    unsigned GetFrameCount(unsigned index) override;
    bool ToggleVersionCheck() override;
    bool IsEmpty() override;
    bool ExportObj(const std::string& comment, PakMgr::ITreeNode* node,
                   const std::string& folder = ".", bool materials = false,
                   std::vector<PakMgr::CutNames::Renamed>* renamed = nullptr) override;
    bool LoadAttachment(PakMgr::ITreeNode* node) override;
    void PoseAt(float frame) override;
    ModelState GetState() override;
    void Clear() override;
    void SetFrame(int frame) override;
    void Pause(bool paused) override;
    void SetLighting(bool on) override;
    std::vector<BoneInfo> GetBones() override;
    ModelInfo GetInfo() override;

    // The pose of playback's current frame: bone matrices, skinning, the attachment.
    void Pose();
    // Stops playback and returns every part and joint to its bind pose.
    void ResetPose();

    // Direct access for the tools and tests that build models by hand.
    Mesh& MeshAt(std::size_t slot) { return m_meshes[slot]; }
    Skin& SkinAt(std::size_t slot) { return m_skins[slot]; }
    // Every slot at once, for the exports that read the whole model.
    const std::array<Mesh, kSlotCount>& Meshes() const { return m_meshes; }
    const std::array<Skin, kSlotCount>& Skins() const { return m_skins; }
    const Skeleton& GetSkeleton() const { return m_skeleton; }
    Skeleton& GetSkeleton() { return m_skeleton; }
    PlaybackState& Playback() { return m_playback; }
    void SetClock(Clock clock) { m_clock = std::move(clock); }

private:
    // An animation was chosen with PlayAnimation and the skeleton still has it.
    bool AnimationChosen() const;
    // The sub-meshes' posed normals, kept only while the light is on.
    void PoseNormalsIfLit();

    void ExportSubMesh(std::size_t index, const SubMesh& subMesh, const Material* material,
                       const std::string& comment, PakMgr::ITreeNode* node,
                       const std::string& folder, bool materials, PakMgr::CutNames& cuts);

    std::unique_ptr<IModelRenderer> m_renderer;
    Matrix m_mirrorMatrix;
    Vec3 m_boxMin{10, 10, 10};
    Vec3 m_boxMax{-10, -10, -10};
    Skeleton m_skeleton;
    std::array<Skin, kSlotCount> m_skins;
    std::array<Mesh, kSlotCount> m_meshes;
    PlaybackState m_playback;
    Clock m_clock;
    uint32_t m_previousTick = 0;
    uint32_t m_currentTick = 0;
    bool m_chosen = false;    // PlayAnimation chose an animation
    bool m_posed = false;     // the parts hold a pose (Pose), not their bind shape (ResetPose)
    bool m_lighting = false;  // posed normals are kept and the light is on
};

}  // namespace Model
