#version 330

#include "misc_block.glsl"
#include "light_block.glsl"
#include "gbuffer_maps.glsl"
#include "light_model.glsl"

layout(location = 0) out vec4 vFragColor;

// A cone of light: point-light fall-off times a linear fall-off of the angle away from the
// spot direction, scaled by the cone factor.
void main()
{
    Surface g = ReadSurface();
    vec3 v = (vLightPosition - g.position) / fLightRange;
    vec3 L = normalize(v);
    float cone = max(0.0, 1.0 - acos(-dot(vLightDirection, L)) * fLightCone);
    float attenuation = Attenuation(v) * cone;
    float diffuse = dot(g.normal, L);
    if (diffuse < g.scattering)
        diffuse = g.scattering * (1.0 - dot(g.normal, vLightDirection));
    float specular = pow(max(0.0, dot(reflect(vLightDirection, g.normal), normalize(g.position))), g.hardness) * g.specular.a;
    vec3 light = g.diffuse.rgb * diffuse + g.specular.rgb * specular;
    vFragColor = vec4(light * vLightColor * fLightIntensity * attenuation, 1.0);
}
