#version 330

layout(location = 0) in vec4 vVertex;
// One instance per light: its volume's model-view matrix and its values.
layout(location = 7) in mat4 mLightModelView;
layout(location = 11) in vec3 vLightPosition;
layout(location = 12) in float fLightRange;
layout(location = 13) in vec3 vLightColor;
layout(location = 14) in float fLightIntensity;

#include "projection_block.glsl"

flat out vec3 vPosition;
flat out float fRange;
flat out vec3 vColor;
flat out float fIntensity;

void main()
{
    gl_Position = mProjectionMatrix * mLightModelView * vVertex;
    vPosition = vLightPosition;
    fRange = fLightRange;
    vColor = vLightColor;
    fIntensity = fLightIntensity;
}
