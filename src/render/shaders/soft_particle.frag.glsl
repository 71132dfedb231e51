#version 330

#include "misc_block.glsl"

uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
uniform float fBlend;

in vec2 vTexCoord;
in vec4 vParticleColor;
in float fLinearDepth;

layout(location = 0) out vec4 vFragColor;

// DepthMap holds linear depth here; the particle fades out where it meets geometry.
void main()
{
    float sceneDepth = texture(DepthMap, gl_FragCoord.xy / vMapSize).r;
    if (fLinearDepth > sceneDepth)
        discard;
    vFragColor = texture(ColorMap, vTexCoord) * vParticleColor;
    vFragColor.a *= clamp((sceneDepth - fLinearDepth) * fBlend, 0.0, 1.0);
}
