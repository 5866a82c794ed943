// The process-wide switches a rendering test may change, restored afterwards.
#pragma once

#include "model/model.h"
#include "render/view.h"

namespace RenderTest {

class SavedSwitches {
public:
    SavedSwitches() : m_skeleton(Model::showSkeleton), m_x(Render::lastX), m_y(Render::lastY) {}
    ~SavedSwitches() {
        Model::showSkeleton = m_skeleton;
        Render::lastX = m_x;
        Render::lastY = m_y;
    }
    SavedSwitches(const SavedSwitches&) = delete;
    SavedSwitches& operator=(const SavedSwitches&) = delete;

private:
    bool m_skeleton;
    int32_t m_x;
    int32_t m_y;
};

}  // namespace RenderTest
