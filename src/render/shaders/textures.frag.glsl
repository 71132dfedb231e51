#version 330

uniform sampler2D ColorMap;
uniform vec4 vColor;

in vec2 vTexCoord;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vFragColor = texture(ColorMap, vTexCoord) * vColor;
}
