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

in vec4 vViewPosition;
in vec2 vTexCoord;
in mat3 mTangentFrame;

layout(location = 0) out vec4 vFragPosition;
layout(location = 1) out vec4 vFragNormal;
layout(location = 2) out vec4 vFragDiffuse;
layout(location = 3) out vec4 vFragSpecular;
layout(location = 4) out vec4 vFragMisc;

// Two-sided foliage: the front face takes the normal turned around.
void main()
{
    vec4 texel = texture(ColorMap, vTexCoord);
    if (texel.a == 0.0)
        discard;
    vec4 specular = texture(SpecularMap, vTexCoord);
    vec3 normal = normalize(mTangentFrame * (texture(NormalMap, vTexCoord).rgb * 2.0 - 1.0));
    if (gl_FrontFacing)
        normal = -normal;
    vFragPosition = vec4(vViewPosition.xyz, fScattering);
    vFragNormal = vec4(normal, fHardness);
    vFragDiffuse = vec4((texel * vColor).rgb, 1.0 - specular.a);
    vFragSpecular = vec4(specular.rgb, fIntensity);
    vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
