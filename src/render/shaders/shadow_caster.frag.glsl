#version 330

uniform sampler2D ColorMap;

in vec3 vTexCoord;

// Depth only; fully transparent texels cut holes into the shadow.
void main()
{
    if (texture(ColorMap, vTexCoord.xy).a == 0.0)
        discard;
}
