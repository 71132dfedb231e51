#version 330

layout(location = 0) in vec4 vVertex;

#include "projection_block.glsl"

uniform vec4 vLightDirection; // view space, pointing away from the light
uniform mat4 mWorldToLightViewMatrix;
uniform mat4 mLightViewToProjectionMatrix;
uniform mat4 mWorldToCameraViewMatrix;

out vec3 vToLight;
// Camera view space to the light's clip space, made once per vertex instead of per pixel.
flat out mat4 mViewToShadowMatrix;

void main()
{
    gl_Position = m2DMatrix * vVertex;
    vToLight = normalize(-vLightDirection.xyz);
    mViewToShadowMatrix = mLightViewToProjectionMatrix * mWorldToLightViewMatrix * inverse(mWorldToCameraViewMatrix);
}
