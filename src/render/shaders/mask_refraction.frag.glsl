#version 330

#include "material_block.glsl"

#include "misc_block.glsl"

#define fRefraction fScattering

uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
uniform sampler2D NormalMap;
uniform sampler2D MaskMap;
uniform vec2 vOffset;

in vec2 vTexCoord;
in vec3 vEyeDirection;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vec2 s = gl_FragCoord.xy / vMapSize;
    if (gl_FragCoord.z > texture(DepthMap, s).r)
        discard;
    vec3 normal = normalize(texture(NormalMap, vTexCoord + vOffset).rgb * 2.0 - 1.0);
    vec2 r = s + normal.xz * gl_FragCoord.w * fRefraction;
    float shine = max(0.0, dot(-reflect(vec3(0.0, 0.8, -0.2), normal), normalize(vEyeDirection)));
    float specular = pow(shine, fHardness) * fIntensity;
    vec2 seen = gl_FragCoord.z < texture(DepthMap, r).r ? r : s;
    vFragColor = texture(ColorMap, seen) * vColor + specular * vSpecularColor;
    vFragColor.a = texture(MaskMap, vTexCoord).r;
}
