#version 330

#include "misc_block.glsl"
#include "gbuffer_maps.glsl"
#include "light_model.glsl"

uniform sampler2D ShadowMap;
uniform vec4 vAmbientColor;
uniform int iLightState; // 0 off, 1 on, 2 on with the shadow map
uniform vec4 vLightDirection;
uniform vec4 vLightColor;
uniform float fLightIntensity;

in vec3 vToLight;
flat in mat4 mViewToShadowMatrix;

layout(location = 0) out vec4 vFragColor;

const vec2 kTaps[4] = vec2[4](vec2(-0.00094201624, -0.00049906216), vec2(0.00094558609, -0.00076890725),
                              vec2(-0.000194184101, -0.00092938870), vec2(0.00034495938, 0.00039387760));

// Four-tap percentage-closer filtering of the orthographic shadow map; each failed tap
// takes 0.24, so a fully shadowed pixel keeps 0.04 of the light.
float DirectionalVisibility(vec3 position)
{
    vec4 q = mViewToShadowMatrix * vec4(position, 1.0);
    q /= q.w;
    vec4 t = q * 0.5 + 0.5;
    float visibility = 1.0;
    if (t.x > 0.0 && t.x < 1.0 && t.y > 0.0 && t.y < 1.0) {
        for (int i = 0; i < 4; ++i)
            if (texture(ShadowMap, t.xy + kTaps[i] * 0.4).r - 0.000675 < t.z / t.w)
                visibility -= 0.24;
    }
    return visibility;
}

void main()
{
    Surface g = ReadSurface();
    if (g.coverage == 0.0)
        discard;
    vec3 color = g.diffuse.rgb * g.diffuse.a + vAmbientColor.rgb * g.diffuse.rgb;
    if (iLightState > 0) {
        float shadow = iLightState > 1 ? DirectionalVisibility(g.position) : 1.0;
        color += g.diffuse.rgb * g.diffuse.a + SurfaceLight(g, vToLight, shadow) * vLightColor.rgb * fLightIntensity;
    }
    vFragColor = vec4(color, 1.0);
}
