#version 330

#include "mesh_inputs.glsl"
layout(location = 7) in float iGroup;

#include "projection_block.glsl"
#include "model_block.glsl"

#include "tangent_frame.glsl"
#include "gbuffer_vertex.glsl"

uniform vec3 vWind;

out vec2 vTexCoord;

// Vertices of group 1 sway with the wind; group 0 stays rooted.
void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    viewPosition.xyz += vWind * iGroup;
    PlaceSurface(viewPosition);
    vTexCoord = vTexCoord0;
}
