#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;

#include "projection_block.glsl"
#include "model_block.glsl"

out float fHeadlight;

// Headlight at (0, 5, 5) in view space, never darker than 0.1.
void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    gl_Position = mProjectionMatrix * viewPosition;
    vec3 normal = normalize(mNormalMatrix * vNormal);
    fHeadlight = max(0.1, dot(normal, normalize(vec3(0.0, 5.0, 5.0) - viewPosition.xyz)));
}
