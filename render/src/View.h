// Where a render looks from: one of the scene's cameras, or a framed view.
#pragma once

#include <string>

#include "Geometry.h"
#include "kvrender/Render.h"

class KvScene;

namespace kvrender {

// Builds the view for `options` (size, camera or framing). Returns false with `error`
// set when `options.camera` names no camera of the scene, or one that is not a
// perspective camera; `description` says what was chosen.
bool MakeView(KvScene& scene, const Options& options, View& view, std::string& description, std::string& error);

}  // namespace kvrender
