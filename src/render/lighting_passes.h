// The deferred lighting passes that add the light of every source into the scene target:
// ambient, emission and the directional light in one full-screen pass, then the point
// lights' volumes (one instanced draw for the unshadowed ones, a cube shadow map and a
// volume draw for each shadowed one).
#pragma once

namespace kve::render {

// The view-space positions of the enabled lights, for the frame's view matrix.
void updateLightViewPositions();
void drawDirectLight();
void drawPointLights();

} // namespace kve::render
