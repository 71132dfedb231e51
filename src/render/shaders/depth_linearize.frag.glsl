#version 330

#include "misc_block.glsl"
#include "linearize_depth.glsl"

uniform sampler2D DepthMap;

in vec2 vTexCoord;

// Drawn into the G-buffer with only draw buffer 4 selected: the misc target's red channel.
layout(location = 4) out vec4 vFragLinearizeDepth;

void main()
{
    float z = 2.0 * (texture(DepthMap, vTexCoord).r - 0.5);
    vFragLinearizeDepth = vec4(LinearizeDepth(z), 0.0, 0.0, 1.0);
}
