#version 330

#include "misc_block.glsl"
#include "gbuffer_maps.glsl"
#include "light_model.glsl"

flat in vec3 vPosition;
flat in float fRange;
flat in vec3 vColor;
flat in float fIntensity;

layout(location = 0) out vec4 vFragColor;

void main()
{
    Surface g = ReadSurface();
    vec3 L;
    float attenuation;
    if (!PointLightReach(g, vPosition, fRange, L, attenuation))
        discard;
    vFragColor = vec4(SurfaceLight(g, L, 1.0) * vColor * fIntensity * attenuation, 1.0);
}
