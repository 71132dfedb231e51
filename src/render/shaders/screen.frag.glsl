#version 330

uniform sampler2D ColorMap;

in vec2 vTexCoord;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vFragColor = texture(ColorMap, vTexCoord);
}
