#version 330

#include "mesh_inputs.glsl"
layout(location = 7) in float iGroup;

#include "projection_block.glsl"
#include "model_block.glsl"

#include "tangent_frame.glsl"
#include "gbuffer_vertex.glsl"

out vec3 vTexCoord;

// The vertex group selects the layer of every map.
void main()
{
    PlaceSurface(mModelViewMatrix * vVertex);
    vTexCoord = vec3(vTexCoord0, iGroup);
}
