// The third and fourth parameters change meaning by kind: surface scattering and emission
// here, refraction and reflection for water and refraction.
layout(std140) uniform Material
{
    vec4 vColor;
    float fIntensity;
    float fHardness;
    float fScattering;
    float fEmission;
    vec4 vSpecularColor;
};
