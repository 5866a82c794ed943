// The process-wide switches a rendering test may change, restored afterwards, and a render
// view over a model in a headless context.
#pragma once

#include "GameFolder.h"
#include "GlTest.h"
#include "forge/scene.h"
#include "model/model.h"
#include "model/object.h"
#include "view/view.h"

namespace RenderTest {

class SavedSwitches {
public:
    SavedSwitches() : m_skeleton(Model::showSkeleton), m_x(View::lastX), m_y(View::lastY) {}
    ~SavedSwitches() {
        Model::showSkeleton = m_skeleton;
        View::lastX = m_x;
        View::lastY = m_y;
    }
    SavedSwitches(const SavedSwitches&) = delete;
    SavedSwitches& operator=(const SavedSwitches&) = delete;

private:
    bool m_skeleton;
    int32_t m_x;
    int32_t m_y;
};

// The view in a context of the given size; Load replaces the model with a writer-made
// scene's, its animation loaded and, with `play`, playing.
class ViewTest : public ::testing::Test {
protected:
    ViewTest(int width, int height) : m_gl(width, height) {}
    void SetUp() override {
        ASSERT_TRUE(m_gl.Ok());
        m_view.InitGL();
        m_view.OnSize(m_gl.Width(), m_gl.Height());
        m_view.ResetView();
    }
    void Load(const SceneFiles::Scene& scene, bool play = true) {
        m_game.reset();  // its archives close when it goes
        m_game = std::make_unique<TestUtil::Game>(SceneFiles::FilesOf(scene));
        m_model.Load(m_game->Node(SceneFiles::kSkin));
        m_model.LoadAnimation(m_game->Node(SceneFiles::kAnimation));
        if (play) {
            m_model.PlayAnimation(1);
        }
        m_view.ResetView();
    }
    // Draws and reads the picture; leaves the scene's matrices current for ScreenOf.
    void Picture() {
        m_view.Render();
        m_gl.Read();
    }

    SavedSwitches m_saved;
    Gl m_gl;
    std::unique_ptr<TestUtil::Game> m_game;
    Model::CVellModel m_model{View::CreateRenderer()};
    View::CRenderViewCore m_view{&m_model};
};

}  // namespace RenderTest
