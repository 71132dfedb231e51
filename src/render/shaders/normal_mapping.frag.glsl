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

in vec4 vViewPosition;
in vec2 vTexCoord;
in mat3 mTangentFrame;

layout(location = 0) out vec4 vFragPosition;
layout(location = 1) out vec4 vFragNormal;
layout(location = 2) out vec4 vFragDiffuse;
layout(location = 3) out vec4 vFragSpecular;
layout(location = 4) out vec4 vFragMisc;

void main()
{
    vec4 texel = texture(ColorMap, vTexCoord);
    if (texel.a == 0.0)
        discard;
    vec3 normal = normalize(mTangentFrame * (texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0));
    vFragPosition = vec4(vViewPosition.xyz, fScattering);
    vFragNormal = vec4(normal, fHardness);
    vFragDiffuse = vec4((texel * vColor).rgb, fEmission);
    vFragSpecular = vec4(vSpecularColor.rgb, fIntensity);
    vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
