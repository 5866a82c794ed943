// Placeholder until drawing and frame capture land: replaced by Draw.cpp and
// FrameExport.cpp, which implement CVellModel::Draw and CVellModel::ExportFrames (delete
// this file and its line in model/CMakeLists.txt when adding them).
#include "VellModel.h"

namespace Model {

void CVellModel::Draw() {}

bool CVellModel::ExportFrames(const std::string&, IAnimate*) {
    return true;
}

}  // namespace Model
