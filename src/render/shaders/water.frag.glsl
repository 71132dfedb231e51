#version 330

#include "material_block.glsl"

#include "misc_block.glsl"

#define fRefraction fScattering
#define fReflection fEmission

uniform sampler2D ColorMap;
uniform sampler2D NormalMapA;
uniform sampler2D NormalMapB;
uniform samplerCube ReflectionCubeMap;
uniform sampler2D DepthMap;
uniform sampler2D LDepthMap;
uniform vec2 vOffset;
uniform float fFogDepth;

in vec2 vTexCoord;
in mat3 mEyeMatrix;
in vec3 vEyeReflection;
in vec3 vEyeDirection;
in vec3 vLightDirection;
in float fLinearDepth;

layout(location = 0) out vec4 vFragColor;

// Refraction of the lit image through two scrolling normal maps, depth fog, specular
// light, then a vertical blur mixed with the cube-map reflection.
void main()
{
    vec2 s = gl_FragCoord.xy / vMapSize;
    if (gl_FragCoord.z > texture(DepthMap, s).r)
        discard;
    vec3 normal = normalize(texture(NormalMapA, vTexCoord + vOffset * 2.0).rgb +
                            texture(NormalMapB, vTexCoord - vOffset).rgb - 1.0);
    vec2 r = s + normal.xz * gl_FragCoord.w * fRefraction;
    float shine = max(0.0, dot(-reflect(normalize(vLightDirection), normal), normalize(vEyeDirection)));
    float specular = pow(shine, fHardness) * fIntensity;

    vec2 fogCoordinate = gl_FragCoord.z < texture(DepthMap, r).r ? r : s;
    vec4 under = texture(ColorMap, fogCoordinate);
    float fog = clamp((texture(LDepthMap, fogCoordinate).r - fLinearDepth) * fFogDepth, 0.10, 0.95);
    vec4 color = mix(under * vColor, vColor * 0.50, fog) + specular * vSpecularColor;

    float k = fReflection;
    color = mix(color, texture(ColorMap, vec2(r.x - 0.002, r.y + normal.y * 0.20 + 0.040)), k) * 0.20;
    color += mix(under, texture(ColorMap, vec2(r.x + 0.002, r.y + normal.y * 0.20 + 0.040)), k) * 0.20;
    color += mix(color, texture(ColorMap, vec2(r.x, r.y + normal.y * 0.15 + 0.040 - 0.002)), k) * 0.20;
    color += mix(under, texture(ColorMap, vec2(r.x, r.y + normal.y * 0.25 + 0.040 + 0.002)), k) * 0.20;
    color += mix(color, texture(ReflectionCubeMap, mEyeMatrix * reflect(-normal, vEyeReflection)), k) * 0.20;
    color.a = texture(NormalMapA, vTexCoord).a;
    vFragColor = color;
}
