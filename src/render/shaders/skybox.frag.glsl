#version 330

#include "misc_block.glsl"

uniform samplerCube ColorCubeMap;
uniform sampler2D MaskMap;
uniform vec4 vColor;

in vec3 vDirection;

layout(location = 0) out vec4 vFragColor;

// Only pixels that no geometry covered receive sky.
void main()
{
    if (texture(MaskMap, gl_FragCoord.xy / vMapSize).a == 1.0)
        discard;
    vFragColor = texture(ColorCubeMap, vDirection) * vColor;
}
