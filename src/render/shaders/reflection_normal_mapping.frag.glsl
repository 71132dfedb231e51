#version 330

#include "material_block.glsl"

uniform sampler2D ColorMap;
uniform sampler2D NormalMap;
uniform samplerCube ReflectionCubeMap;

in vec2 vTexCoord;
in mat3 mEyeMatrix;
in vec3 vEyeDirection;

#include "gbuffer_write.glsl"

// The fourth material parameter is the reflection: how much of the cube map replaces the
// colour texel.
void main()
{
    vec4 texel = texture(ColorMap, vTexCoord);
    if (texel.a == 0.0)
        discard;
    vec3 normal = MappedNormal(texture(NormalMap, vTexCoord));
    vec4 mirrored = texture(ReflectionCubeMap, mEyeMatrix * reflect(vEyeDirection, normal));
    WriteGBuffer(normal, mix(texel, mirrored, fEmission), 0.0, vSpecularColor.rgb);
}
