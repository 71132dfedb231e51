// The part of the demonstration's start-up that decides how its scene looks: background,
// the shadowed point light 26, the ambient term, the projection and the camera's place.
// Shared by the demo and the frame-rendering benchmark.
#pragma once

#include <string>

inline constexpr int kDemoLight = 26;

// Start-up steps 5 to 9.
void setUpLightingAndView();

// Loads the glTF scene in `file` and stands it on the ground (its lowest point at y = 0)
// in front of the starting camera, drawn but not simulated. False when it cannot be loaded.
bool placeModel(const std::string& file);
