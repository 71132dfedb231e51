#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 7) in float iGroup;

#include "projection_block.glsl"
#include "model_block.glsl"

out vec3 vTexCoord; // layer iGroup for texture arrays, 0 otherwise

void main()
{
    gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
    // Constant depth offset: pushes casters away from the light against shadow acne.
    gl_Position.z += 0.001475;
    vTexCoord = vec3(vTexCoord0, iGroup);
}
