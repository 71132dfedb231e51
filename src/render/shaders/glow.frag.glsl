#version 330

uniform sampler2D DiffuseMap;

in vec2 vTexCoord;

layout(location = 0) out vec4 vFragGlow;

// The emissive share of each surface, glowing in its own colour.
void main()
{
    vec4 diffuse = texture(DiffuseMap, vTexCoord);
    vFragGlow = vec4(diffuse.rgb * (diffuse.a * 0.4), diffuse.a);
}
