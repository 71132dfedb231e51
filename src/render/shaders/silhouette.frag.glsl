#version 330

#include "material_block.glsl"

uniform sampler2D NormalMap;

in vec2 vTexCoord;
in vec3 vEyeDirection;
in vec3 vLightDirection;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vec3 normal = normalize(texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0);
    float shine = max(0.01, dot(-reflect(normalize(vLightDirection), normal), normalize(-vEyeDirection)));
    float s = pow(shine, fHardness * 0.20) * fIntensity;
    vFragColor = vColor * s;
    vFragColor.a *= 0.50;
}
