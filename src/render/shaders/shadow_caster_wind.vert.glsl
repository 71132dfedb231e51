#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 7) in float iGroup;

#include "projection_block.glsl"
#include "model_block.glsl"

uniform vec3 vWind;

out vec3 vTexCoord;

// The foliage sway of the Grass program, so that the shadow moves with the blades.
void main()
{
    gl_Position = mProjectionMatrix * (mModelViewMatrix * vVertex + vec4(vWind, 0.0) * iGroup);
    gl_Position.z += 0.001475;
    vTexCoord = vec3(vTexCoord0, 0.0);
}
