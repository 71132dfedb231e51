#version 330

#include "misc_block.glsl"

uniform sampler2D ColorMap;
uniform sampler2D DepthMap;

in vec2 vTexCoord;
in vec4 vParticleColor;

layout(location = 0) out vec4 vFragColor;

void main()
{
    if (gl_FragCoord.z > texture(DepthMap, gl_FragCoord.xy / vMapSize).r)
        discard;
    vFragColor = texture(ColorMap, vTexCoord) * vParticleColor;
}
