#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 3) in vec2 vTexCoord1;

#include "sprite_blocks.glsl"

out vec2 vTexCoord;
out vec2 vMaskCoord;

void main()
{
    gl_Position = m2DMatrix * mModelMatrix * vVertex;
    vTexCoord = vTexCoord0;
    vMaskCoord = vTexCoord1;
}
