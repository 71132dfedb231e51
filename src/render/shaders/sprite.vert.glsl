#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;

#include "sprite_blocks.glsl"

out vec2 vTexCoord;

void main()
{
    gl_Position = m2DMatrix * mModelMatrix * vVertex;
    vTexCoord = vTexCoord0;
}
