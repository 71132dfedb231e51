#version 330

#include "misc_block.glsl"
#include "light_block.glsl"
#include "gbuffer_maps.glsl"
#include "light_model.glsl"

uniform samplerCube ShadowMap;
uniform samplerCube StaticShadowMap;
uniform mat4 mWorldViewMatrix;     // camera world matrix
uniform mat4 mShadowTextureMatrix; // view-space direction to cube-map lookup direction

layout(location = 0) out vec4 vFragColor;

// The window depth the cube faces' perspective projection gives a point at distance m
// along the face axis.
float VectorToDepthValue(vec3 u)
{
    float m = max(abs(u.x), max(abs(u.y), abs(u.z)));
    float f = fLightRange * 32.0;
    float n = 0.1;
    return ((f + n) / (f - n) - (2.0 * f * n) / (f - n) / m + 1.0) * 0.5;
}

// Hard-edged cube shadow: the per-frame map and, for a static light, its baked map.
float CubeVisibility(vec3 toLight, vec3 position)
{
    vec3 e = (mShadowTextureMatrix * vec4(toLight, 0.0)).xyz;
    float z = VectorToDepthValue(mat3(mWorldViewMatrix) * (vLightPosition - position));
    float visibility = 1.0;
    if (iStatic == 1 && texture(StaticShadowMap, e).r < z)
        visibility = 0.0;
    if (texture(ShadowMap, e).r < z)
        visibility = 0.0;
    return visibility;
}

void main()
{
    Surface g = ReadSurface();
    vec3 L;
    float attenuation;
    if (!PointLightReach(g, vLightPosition, fLightRange, L, attenuation))
        discard;
    float shadow = CubeVisibility(L, g.position);
    vFragColor = vec4(SurfaceLight(g, L, shadow) * vLightColor * fLightIntensity * attenuation, 1.0);
}
