// The model object: part slots, loading, playback and the queries of the shell.
#include "model/object.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <string_view>
#include <utility>

#include "model/pose.h"

namespace Model {
namespace {

constexpr float kDefaultFramesPerSecond = 60.0f;
constexpr float kMillisecondsPerSecond = 1000.0f;
constexpr char kPartsFolder[] = "parts";
constexpr char kAttachmentBone[] = "~BoxBone01";

// Part keywords in the order they are tested: "hair" before "head", "head" before
// "helmet", "boots" before "leg".
constexpr std::pair<const char*, std::size_t> kPartKeywords[] = {
    {"body", 1}, {"boots", 2}, {"glove", 3},  {"hair", 4},
    {"head", 5}, {"leg", 6},   {"helmet", 7}, {"costume", 8},
};

uint32_t SteadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Matrix MirrorX() {
    Matrix m = kIdentity;
    m[0] = -1;
    return m;
}

void CheckSkinNode(PakMgr::ITreeNode* node) {
    if (!node) {
        throw Except::Literal(ErrorKind::Input, "empty node.");
    }
    const std::string name = node->GetName();
    if (!IsSkinName(name)) {
        throw Except(ErrorKind::Input, "not .skn file: %s", name.c_str());
    }
}

// Walks the sub-meshes of all ten slots in the order EnumSubMeshes lists them.
template <typename Meshes, typename Visit>
void ForEachSubMesh(Meshes& meshes, Visit visit) {
    for (auto& mesh : meshes) {
        for (auto& subMesh : mesh.subMeshes) {
            visit(subMesh);
        }
    }
}

}  // namespace

std::size_t ChooseSlot(const std::string& name, const std::string& parentName) {
    if (parentName != kPartsFolder) {
        return kWholeModel;
    }
    for (const auto& [keyword, slot] : kPartKeywords) {
        if (name.find(keyword) != std::string::npos) {
            return slot;
        }
    }
    return kWholeModel;
}

bool PlaybackStep(PlaybackState& playback, float dt) {
    if (playback.stopped) {
        return false;
    }
    if (playback.paused) {
        return false;
    }
    const float old = playback.currentFrame;
    const float now = playback.framesPerSecond * dt + old;
    playback.currentFrame = now;
    if (WholeFrame(now) == WholeFrame(old)) {
        return false;
    }
    if (now > static_cast<float>(playback.lastFrame)) {
        playback.currentFrame = 0.0f;
    }
    return true;
}

void ApplySpeed(PlaybackState& playback, float framesPerSecond) {
    // Every 60 frames per second above real time add 10 frames to the step, computed in
    // this order in float: (f - 60) × 10 / 60.
    constexpr float kRealTime = 60.0f;
    constexpr float kStepFrames = 10.0f;
    constexpr float kStepSpeed = 60.0f;
    playback.framesPerSecond = framesPerSecond;
    playback.stopped = framesPerSecond == 0.0f;
    playback.frameStep = framesPerSecond > kRealTime
                             ? (framesPerSecond - kRealTime) * kStepFrames / kStepSpeed
                             : 1.0f;
    if (!(playback.frameStep >= 1.0f)) {
        playback.frameStep = 1.0f;
    }
}

unsigned ExportFrameCount(const PlaybackState& playback) {
    const float last = static_cast<float>(playback.lastFrame);
    float frame = 0.0f;
    unsigned count = 0;
    while (true) {
        ++count;
        if (WholeFrame(frame) == playback.lastFrame) {
            break;
        }
        float next = frame + playback.frameStep;
        if (next > last) {
            next = last;
        }
        // Past 2^24 a float frame may stop moving, or never equal the last frame's
        // number: the export ends there instead of running forever.
        if (next == frame) {
            break;
        }
        frame = next;
    }
    return count;
}

CVellModel::CVellModel(std::unique_ptr<IModelRenderer> renderer)
    : m_renderer(std::move(renderer)), m_mirrorMatrix(MirrorX()), m_clock(SteadyMilliseconds) {
    SeedRandom(m_clock());
}

bool CVellModel::Load(PakMgr::ITreeNode* node) {
    CheckSkinNode(node);
    PakMgr::ITreeNode* parent = node->GetParent();
    const std::size_t slot = ChooseSlot(node->GetName(), parent ? parent->GetName() : "");

    Mesh mesh;
    Skin skin;
    LoadPart(node, mesh, skin);

    if (slot == kWholeModel) {
        m_boxMin = mesh.boxMin;
        m_boxMax = mesh.boxMax;
        m_meshes[kWholeModel] = std::move(mesh);
        m_skins[kWholeModel] = std::move(skin);
        for (std::size_t s = kFirstPart; s < kSlotCount; ++s) {
            m_meshes[s] = Mesh{};
            m_skins[s] = Skin{};
        }
        m_skeleton = Skeleton{};
        m_playback.stopped = true;
        m_playback.paused = false;
        m_chosen = false;
        PoseNormalsIfLit();
        m_playback.started = false;
        return false;
    }
    BindToSkeleton(mesh, m_skeleton);
    m_meshes[slot] = std::move(mesh);
    m_skins[slot] = std::move(skin);
    m_meshes[kWholeModel] = Mesh{};
    m_skins[kWholeModel] = Skin{};
    PoseNormalsIfLit();
    return true;
}

void CVellModel::LoadAnimation(PakMgr::ITreeNode* node) {
    if (!node) {
        return;
    }
    Skeleton skeleton;
    ReadAnimation(node, skeleton);
    for (Mesh& mesh : m_meshes) {
        BindToSkeleton(mesh, skeleton);
    }
    m_skeleton = std::move(skeleton);
}

void CVellModel::GetBoundingBox(float* min, float* max) {
    std::copy(m_boxMin.begin(), m_boxMin.end(), min);
    std::copy(m_boxMax.begin(), m_boxMax.end(), max);
}

void CVellModel::Update() {
    // The difference is taken on the tick counts, so it stays exact however long the
    // machine has run and across the counter's wrap.
    m_previousTick = m_currentTick;
    m_currentTick = m_clock();
    const float dt = static_cast<float>(m_currentTick - m_previousTick) / kMillisecondsPerSecond;
    if (PlaybackStep(m_playback, dt)) {
        Pose();
    }
}

void CVellModel::Draw() {
    if (m_renderer) {
        m_renderer->Draw({m_mirrorMatrix, m_meshes, m_skins, m_skeleton, m_lighting});
    }
}

void CVellModel::SetPolygonMode(PolygonMode mode) {
    if (m_renderer) {
        m_renderer->SetPolygonMode(mode);
    }
}

bool CVellModel::ToggleSkeleton() {
    showSkeleton = !showSkeleton;
    return showSkeleton;
}

void CVellModel::EnumAnimations(IStringList* list) {
    for (const std::string& name : m_skeleton.animationNames) {
        list->AddString(name);
    }
}

void CVellModel::PlayAnimation(unsigned index) {
    m_playback.paused = false;
    m_chosen = index >= 1 && index <= m_skeleton.frameCounts.size();
    if (index < 1 || index > m_skeleton.frameCounts.size()) {
        ResetPose();
        return;
    }
    // Frame counts past the int32 range play as the longest animation that fits.
    const uint32_t frames = std::min<uint32_t>(m_skeleton.frameCounts[index - 1], INT32_MAX);
    m_playback.lastFrame = static_cast<int32_t>(frames) - 1;
    m_playback.framesPerSecond = kDefaultFramesPerSecond;
    m_playback.stopped = false;
    m_playback.started = true;
    m_playback.animation = static_cast<int32_t>(index - 1);
    m_playback.frameStep = 1.0f;
    m_playback.currentFrame = 0.0f;
}

bool CVellModel::IsDrawEnabled() {
    return drawEnabled;
}

void CVellModel::SetSpeed(float framesPerSecond) {
    ApplySpeed(m_playback, framesPerSecond);
}

void CVellModel::EnumSubMeshes(IStringList* list) {
    ForEachSubMesh(m_meshes, [&](const SubMesh& s) { list->AddString(s.name); });
}

void CVellModel::SetSubMeshVisible(unsigned index, bool visible) {
    unsigned position = 0;
    ForEachSubMesh(m_meshes, [&](SubMesh& s) {
        if (position++ == index) {
            s.visible = visible;
        }
    });
}

unsigned CVellModel::GetFrameCount(unsigned index) {
    if (index == 0 || index > m_skeleton.animationNames.size()) {
        return 0;
    }
    return ExportFrameCount(m_playback);
}

bool CVellModel::ToggleVersionCheck() {
    versionCheck = !versionCheck;
    return versionCheck;
}

bool CVellModel::IsEmpty() {
    return std::all_of(m_meshes.begin(), m_meshes.begin() + kAttachment,
                       [](const Mesh& mesh) { return mesh.subMeshes.empty(); });
}

bool CVellModel::LoadAttachment(PakMgr::ITreeNode* node) {
    Mesh mesh;
    Skin skin;
    LoadPart(node, mesh, skin);
    mesh.bones.clear();
    for (std::size_t slot = kWholeModel; slot <= kLastPart; ++slot) {
        const auto& bones = m_meshes[slot].bones;
        auto found = std::find_if(bones.begin(), bones.end(),
                                  [](const MeshBone& b) { return b.name == kAttachmentBone; });
        if (found != bones.end()) {
            mesh.bones.push_back(*found);
            break;
        }
    }
    BindToSkeleton(mesh, m_skeleton);
    // Without an animation playing it rests where its bone's bind placement puts it; a
    // playing one moves it at the next frame.
    if (m_playback.stopped) {
        RestAttachment(mesh);
    }
    m_meshes[kAttachment] = std::move(mesh);
    m_skins[kAttachment] = std::move(skin);
    PoseNormalsIfLit();
    return true;
}

void CVellModel::PoseAt(float frame) {
    m_playback.currentFrame = frame;
    Pose();
}

ModelState CVellModel::GetState() {
    ModelState state;
    ForEachSubMesh(m_meshes, [&](const SubMesh& s) {
        state.vertices += static_cast<unsigned>(s.positions.size());
        state.triangles += static_cast<unsigned>(s.indices.size() / 3);
    });
    state.bones = static_cast<unsigned>(m_skeleton.bones.size());
    if (state.bones == 0) {
        // Parts share the skeleton's bones by name: each counts once.
        std::set<std::string_view> names;
        for (const Mesh& mesh : m_meshes) {
            for (const MeshBone& bone : mesh.bones) {
                names.insert(bone.name);
            }
        }
        state.bones = static_cast<unsigned>(names.size());
    }
    if (!m_playback.stopped || m_playback.started || m_playback.paused) {
        state.frame = static_cast<int>(m_playback.currentFrame);
        state.lastFrame = m_playback.lastFrame;
    }
    state.paused = m_playback.paused;
    return state;
}

void CVellModel::Clear() {
    m_meshes = {};
    m_skins = {};
    m_skeleton = Skeleton{};
    m_playback = PlaybackState{};
    m_chosen = false;
    m_posed = false;
    m_boxMin = {10, 10, 10};
    m_boxMax = {-10, -10, -10};
}

bool CVellModel::AnimationChosen() const {
    return m_chosen && m_playback.lastFrame >= 0 &&
           static_cast<std::size_t>(m_playback.animation) < m_skeleton.frameCounts.size();
}

void CVellModel::SetFrame(int frame) {
    if (!AnimationChosen()) {
        return;
    }
    m_playback.currentFrame = static_cast<float>(std::clamp(frame, 0, m_playback.lastFrame));
    m_playback.paused = true;
    Pose();
}

void CVellModel::Pause(bool paused) {
    if (!AnimationChosen()) {
        return;
    }
    // Held on its integer frame, so that stepping and the frame shown agree.
    m_playback.currentFrame = static_cast<float>(WholeFrame(m_playback.currentFrame));
    m_playback.paused = paused;
}

std::vector<BoneInfo> CVellModel::GetBones() {
    std::vector<BoneInfo> bones;
    bones.reserve(m_skeleton.bones.size());
    for (const Bone& bone : m_skeleton.bones) {
        BoneInfo info{bone.name, bone.parent};
        std::copy_n(bone.worldMatrix.begin() + 12, 3, info.joint);
        bones.push_back(std::move(info));
    }
    return bones;
}

std::unique_ptr<IVellModel> CreateModel() {
    return std::make_unique<CVellModel>();
}

std::unique_ptr<IVellModel> CreateModel(std::unique_ptr<IModelRenderer> renderer) {
    return std::make_unique<CVellModel>(std::move(renderer));
}

}  // namespace Model
