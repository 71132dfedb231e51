#version 330

uniform sampler2DArray ColorMap;

in vec3 vTexCoord;

void main()
{
    if (texture(ColorMap, vTexCoord).a == 0.0)
        discard;
}
