#version 330

uniform vec4 vColor;

in float fHeadlight;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vec3 lit = vColor.rgb * fHeadlight + (1.0 - fHeadlight) * vColor.rgb * 0.4;
    vFragColor = vec4(lit, vColor.a);
}
