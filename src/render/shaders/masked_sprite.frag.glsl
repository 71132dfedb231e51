#version 330

uniform sampler2D ColorMap;
uniform sampler2D MaskMap;
uniform vec4 vColor;

in vec2 vTexCoord;
in vec2 vMaskCoord;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vFragColor = texture(ColorMap, vTexCoord) * vColor;
    vFragColor.a *= texture(MaskMap, vMaskCoord).r;
}
