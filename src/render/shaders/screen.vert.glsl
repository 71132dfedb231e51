#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;

#include "projection_block.glsl"

out vec2 vTexCoord;

void main()
{
    gl_Position = m2DMatrix * vVertex;
    vTexCoord = vTexCoord0;
}
