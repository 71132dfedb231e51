#version 330

#include "material_block.glsl"

uniform sampler2D ColorMap;
uniform sampler2D NormalMap;

in vec2 vTexCoord;

#include "gbuffer_write.glsl"

void main()
{
    vec4 texel = texture(ColorMap, vTexCoord);
    if (texel.a == 0.0)
        discard;
    WriteGBuffer(MappedNormal(texture(NormalMap, vTexCoord)), texel, fEmission, vSpecularColor.rgb);
}
