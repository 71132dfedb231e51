in vec4 vViewPosition;
in mat3 mTangentFrame;

layout(location = 0) out vec4 vFragPosition;
layout(location = 1) out vec4 vFragNormal;
layout(location = 2) out vec4 vFragDiffuse;
layout(location = 3) out vec4 vFragSpecular;
layout(location = 4) out vec4 vFragMisc;

// A normal-map texel turned into a view-space normal.
vec3 MappedNormal(vec4 normalTexel)
{
    return normalize(mTangentFrame * (normalTexel.rgb * 2.0 - 1.0));
}

// One covered pixel of the G-buffer: view-space position with the surface scattering,
// normal with the hardness, diffuse colour with the alpha the program chooses, specular
// colour with the intensity, and the coverage mark in the misc target's alpha.
void WriteGBuffer(vec3 normal, vec4 diffuse, float diffuseAlpha, vec3 specular)
{
    vFragPosition = vec4(vViewPosition.xyz, fScattering);
    vFragNormal = vec4(normal, fHardness);
    vFragDiffuse = vec4((diffuse * vColor).rgb, diffuseAlpha);
    vFragSpecular = vec4(specular, fIntensity);
    vFragMisc = vec4(0.0, 0.0, 0.0, 1.0);
}
