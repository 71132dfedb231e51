// Drawing the objects of one material in a pass together: the Model buffer bound once,
// each object's block uploaded into it before its draw, and its mesh bound only when the
// mesh changes, so that a draw costs two GL calls instead of four.
#pragma once

#include <vector>

#include "kve.h"

namespace kve::render {

struct BatchedDraw {
    const KVE_OBJECT* object = nullptr; // with a finished mesh
    KVE_Matrix world{};
};

// Draws `draws` as seen through `view`; the Model block's CPU copy ends holding the last
// object's block, as after drawing the objects one by one.
void drawBatch(const std::vector<BatchedDraw>& draws, const KVE_Matrix& view);

bool drawBatchingEnabled();

} // namespace kve::render
