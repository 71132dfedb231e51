#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;

#include "projection_block.glsl"
#include "model_block.glsl"

out vec3 vDirection;

void main()
{
    gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
    vDirection = normalize(vVertex.xyz);
}
