#version 330

#include "material_block.glsl"

uniform sampler2D ColorMap;
uniform sampler2D NormalMap;
uniform float fScale;
uniform float fBias;

in vec2 vTexCoord;
in vec3 vCameraDirection;

#include "gbuffer_write.glsl"

#include "parallax_offset.glsl"

void main()
{
    vec2 uv = ParallaxCoordinate(vTexCoord, 1.0);
    vec4 texel = texture(ColorMap, uv);
    if (texel.a == 0.0)
        discard;
    WriteGBuffer(MappedNormal(texture(NormalMap, uv)), texel, 0.0, vSpecularColor.rgb);
}
