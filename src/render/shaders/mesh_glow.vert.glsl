#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;

#include "projection_block.glsl"
#include "model_block.glsl"

uniform float fScale;

out vec3 vViewDirection;
out vec3 vViewNormal;

void main()
{
    vec4 viewPosition = mModelViewMatrix * (vVertex + vec4(vNormal * fScale, 0.0));
    gl_Position = mProjectionMatrix * viewPosition;
    vViewDirection = normalize(viewPosition.xyz);
    vViewNormal = normalize(mNormalMatrix * vNormal);
}
