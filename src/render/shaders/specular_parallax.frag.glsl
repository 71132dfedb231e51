#version 330

layout(std140) uniform Material
{
    vec4 vColor;
    float fIntensity;
    float fHardness;
    float fScattering;
    float fEmission;
    vec4 vSpecularColor;
};

uniform sampler2D ColorMap;
uniform sampler2D NormalMap;
uniform sampler2D SpecularMap;
uniform float fScale;
uniform float fBias;

in vec4 vViewPosition;
in vec2 vTexCoord;
in mat3 mTangentFrame;
in vec3 vCameraDirection;

layout(location = 0) out vec4 vFragPosition;
layout(location = 1) out vec4 vFragNormal;
layout(location = 2) out vec4 vFragDiffuse;
layout(location = 3) out vec4 vFragSpecular;
layout(location = 4) out vec4 vFragMisc;

// Three steps along the camera direction over the height in the normal map's alpha.
vec2 ParallaxCoordinate()
{
    vec3 e = normalize(vCameraDirection);
    vec2 o = vec2(e.x, -e.y) / e.z;
    vec2 uv1 = vTexCoord + (texture(NormalMap, vTexCoord).a * 0.03 - 0.02) * 1.5 * o * 0.15;
    vec2 uv2 = uv1 + (texture(NormalMap, uv1).a * 0.02 - 0.015) * 1.5 * o * 0.35;
    return uv2 + (texture(NormalMap, uv2).a * 0.02 - 0.02) * 1.5 * o * 0.50;
}

void main()
{
    vec2 uv = ParallaxCoordinate();
    vec4 texel = texture(ColorMap, uv);
    if (texel.a == 0.0)
        discard;
    vec4 specular = texture(SpecularMap, uv);
    vFragPosition = vec4(vViewPosition.xyz, fScattering);
    vFragNormal = vec4(normalize(mTangentFrame * (texture(NormalMap, uv).rgb * 2.0 - 1.0)), fHardness);
    vFragDiffuse = vec4((texel * vColor).rgb, 1.0 - specular.a);
    vFragSpecular = vec4(specular.rgb, fIntensity);
    vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
