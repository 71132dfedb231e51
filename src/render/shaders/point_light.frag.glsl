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
    if (g.coverage == 0.0)
        discard;
    vec3 v = (vPosition - g.position) / fRange;
    float attenuation = Attenuation(v);
    if (attenuation <= 0.0)
        discard;
    vFragColor = vec4(SurfaceLight(g, normalize(v), 1.0) * vColor * fIntensity * attenuation, 1.0);
}
