// The reading of a glTF's animations and its nodes' own placements.
#pragma once

#include <vector>

#include "GltfAccessors.h"
#include "GltfInput.h"

namespace Import::Detail {

std::vector<GltfAnimation> ReadAnimations(const tg::Model& model, const Accessors& accessors,
                                          float scale);
std::vector<NodeRest> ReadNodeRests(const tg::Model& model, float scale);

}  // namespace Import::Detail
