#version 330

#include "material_block.glsl"

#include "misc_block.glsl"

uniform sampler2D DepthMap;

in vec3 vViewDirection;
in vec3 vViewNormal;

layout(location = 0) out vec4 vFragColor;

// Strongest where the surface turns away from the viewer: a rim around the mesh.
void main()
{
    if (gl_FragCoord.z > texture(DepthMap, gl_FragCoord.xy / vMapSize).r)
        discard;
    float x = clamp(abs((1.0 - cos(dot(vViewDirection, vViewNormal))) * fIntensity), 0.0, 1.0);
    vFragColor = vColor * pow(1.0 - abs(x - 0.5), fHardness);
}
