// The model's drawing half: every visible sub-mesh of the ten part slots as client arrays
// with the fixed-function pipeline, the skeleton as labelled points and lines, textures
// made in the current context's store, and the frame export's read-back.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "font/font.h"
#include "model/drawing.h"
#include "texture/texture.h"
#include "view/view.h"

namespace View {
namespace {

using namespace Model;

constexpr float kAlphaThreshold = 0.5f;
constexpr float kJointSize = 5.0f;
constexpr float kBoneWidth = 2.0f;
constexpr float kDefaultSize = 1.0f;
// The lit view: one light from the camera, and an ambient share so that faces turned away
// from it are not black.
constexpr float kLightDiffuse = 0.75f;
constexpr float kLightAmbient = 0.35f;
// The selected bone: a larger joint and a wider line to its parent, in yellow.
constexpr float kSelectedJointSize = 11.0f;
constexpr float kSelectedBoneWidth = 4.0f;
constexpr float kSelectedColor[3] = {1.0f, 1.0f, 0.0f};

// Texturing for one sub-mesh. A sub-mesh without a texture is drawn as wireframe, whatever
// polygon mode the user chose; the user's mode comes back when the binder ends.
class TextureBinder {
public:
    explicit TextureBinder(unsigned texture) : m_texture(texture) {
        if (m_texture) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, m_texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        } else {
            glDisable(GL_TEXTURE_2D);
            glPushAttrib(GL_POLYGON_BIT);
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        }
    }
    ~TextureBinder() {
        if (!m_texture) {
            glPopAttrib();
        }
    }
    TextureBinder(const TextureBinder&) = delete;
    TextureBinder& operator=(const TextureBinder&) = delete;

private:
    unsigned m_texture;
};

// The material's diffuse texture in the current context, made at its first draw there; 0
// when there is none or no context store to keep it.
unsigned TextureName(const Material* material) {
    Texture::GpuTextures* textures = Texture::GpuTextures::Current();
    if (!material || !material->diffuseTex || !textures) {
        return 0;
    }
    return textures->NameFor(material->diffuseTex);
}

// The client arrays hand GL raw pointers: a sub-mesh whose lists disagree in length, or
// whose indices point past its vertices, would make GL read outside them.
bool CanDraw(const SubMesh& sub, bool withColors) {
    const std::size_t vertexCount = sub.skinnedPositions.size();
    if (sub.indices.empty() || sub.texCoords.size() < vertexCount ||
        (withColors && sub.colors.size() < vertexCount)) {
        return false;
    }
    return *std::max_element(sub.indices.begin(), sub.indices.end()) < vertexCount;
}

// Lighting for one sub-mesh of the lit view: on with its posed normals, off for a sub-mesh
// that has none.
void LightSubMesh(const SubMesh& sub) {
    if (sub.skinnedNormals.size() >= sub.skinnedPositions.size()) {
        glEnable(GL_LIGHTING);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, sub.skinnedNormals.data());
    } else {
        glDisable(GL_LIGHTING);
        glDisableClientState(GL_NORMAL_ARRAY);
    }
}

// The light shines from the eye along the view direction: its position is given with the
// camera's transform left out.
void BeginLighting() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    constexpr float kFromEye[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, kFromEye);
    glPopMatrix();
    constexpr float kDiffuse[4] = {kLightDiffuse, kLightDiffuse, kLightDiffuse, 1};
    constexpr float kAmbient[4] = {kLightAmbient, kLightAmbient, kLightAmbient, 1};
    constexpr float kNone[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kDiffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kNone);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kNone);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kAmbient);
    // Normals as posed, whichever way a face is wound: the face seen uses its own normal.
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    // The current colour (white, or the bone colours) is the material.
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHT0);
}

void EndLighting() {
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_COLOR_MATERIAL);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void DrawSubMesh(const SubMesh& sub, const Material* material, bool lighting) {
    if (!sub.visible || !CanDraw(sub, showSkeleton)) {
        return;
    }
    if (lighting) {
        LightSubMesh(sub);
    }
    TextureBinder binder(TextureName(material));
    glAlphaFunc(GL_GREATER, kAlphaThreshold);
    glEnable(GL_ALPHA_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    if (showSkeleton) {
        // The skin shows the bone-influence colours of the pose.
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, sub.colors.data());
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor3f(1.0f, 1.0f, 1.0f);
    }
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, sub.texCoords.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, sub.skinnedPositions.data());
    glDrawElements(static_cast<GLenum>(sub.primitive), static_cast<GLsizei>(sub.indices.size()),
                   GL_UNSIGNED_SHORT, sub.indices.data());
}

void DrawPart(const Mesh& mesh, const Skin& skin, bool lighting) {
    for (std::size_t i = 0; i < mesh.subMeshes.size(); ++i) {
        DrawSubMesh(mesh.subMeshes[i], MaterialFor(skin, i), lighting);
    }
}

const float* JointPosition(const Bone& bone) {
    return &bone.worldMatrix[12];
}

void DrawLabels(const Skeleton& skeleton, std::size_t count) {
    Font::IFont* font = Font::GetFont();
    char label[Font::kTextBufferSize];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(label, sizeof label, "%s(%d)", skeleton.bones[i].name.c_str(),
                      static_cast<int>(i));
        // A bone name is text, never a format.
        font->Printf3D(JointPosition(skeleton.bones[i]), skeleton.boneColors[i].data(), "%s",
                       label);
    }
}

void DrawJoints(const Skeleton& skeleton, std::size_t count) {
    glPointSize(kJointSize);
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < count; ++i) {
        glColor3fv(skeleton.boneColors[i].data());
        glVertex3fv(JointPosition(skeleton.bones[i]));
    }
    glEnd();
    glPointSize(kDefaultSize);
}

// Each bone a line from its parent's joint to its own, shaded parent colour to own colour.
void DrawBones(const Skeleton& skeleton, std::size_t count) {
    glLineWidth(kBoneWidth);
    glBegin(GL_LINES);
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t parent = skeleton.bones[i].parent;
        if (parent == kNoParent || parent >= count) {
            continue;
        }
        glColor3fv(skeleton.boneColors[parent].data());
        glVertex3fv(JointPosition(skeleton.bones[parent]));
        glColor3fv(skeleton.boneColors[i].data());
        glVertex3fv(JointPosition(skeleton.bones[i]));
    }
    glEnd();
    glLineWidth(kDefaultSize);
}

void DrawSelection(const Skeleton& skeleton, std::size_t count) {
    if (selectedBone < 0 || static_cast<std::size_t>(selectedBone) >= count) {
        return;
    }
    const Bone& bone = skeleton.bones[static_cast<std::size_t>(selectedBone)];
    glColor3fv(kSelectedColor);
    if (bone.parent != kNoParent && bone.parent < count) {
        glLineWidth(kSelectedBoneWidth);
        glBegin(GL_LINES);
        glVertex3fv(JointPosition(skeleton.bones[bone.parent]));
        glVertex3fv(JointPosition(bone));
        glEnd();
        glLineWidth(kDefaultSize);
    }
    glPointSize(kSelectedJointSize);
    glBegin(GL_POINTS);
    glVertex3fv(JointPosition(bone));
    glEnd();
    glPointSize(kDefaultSize);
}

void DrawSkeleton(const Skeleton& skeleton) {
    const std::size_t count = std::min(skeleton.bones.size(), skeleton.boneColors.size());
    if (count == 0) {
        return;
    }
    DrawLabels(skeleton, count);
    DrawJoints(skeleton, count);
    DrawBones(skeleton, count);
    DrawSelection(skeleton, count);
}

// The skeleton over everything drawn before it.
void DrawSkeletonOnTop(const Skeleton& skeleton) {
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    DrawSkeleton(skeleton);
    glPopAttrib();
}

class GlRenderer final : public IModelRenderer {
public:
    void Draw(const DrawScene& scene) override {
        if (scene.lighting) {
            BeginLighting();
        }
        glPushMatrix();
        glMultMatrixf(scene.mirror.data());
        const std::size_t slots = std::min(scene.meshes.size(), scene.skins.size());
        for (std::size_t slot = 0; slot < slots; ++slot) {
            DrawPart(scene.meshes[slot], scene.skins[slot], scene.lighting);
        }
        if (scene.lighting) {
            EndLighting();
        }
        if (bonesOnTop) {
            DrawSkeletonOnTop(scene.skeleton);
        } else if (showSkeleton) {
            DrawSkeleton(scene.skeleton);
        }
        glPopMatrix();
    }

    void SetPolygonMode(PolygonMode mode) override { glPolygonMode(GL_FRONT_AND_BACK, mode); }

    void ReadPixels(int width, int height, std::span<uint8_t> out) override {
        if (out.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
            return;
        }
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, out.data());
        glPopClientAttrib();
    }
};

}  // namespace

std::unique_ptr<IModelRenderer> CreateRenderer() {
    return std::make_unique<GlRenderer>();
}

std::unique_ptr<IVellModel> CreateModel() {
    return Model::CreateModel(CreateRenderer());
}

IVellModel* GetModel() {
    static const std::unique_ptr<IVellModel> model = CreateModel();
    return model.get();
}

}  // namespace View
