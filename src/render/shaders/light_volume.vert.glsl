#version 330

layout(location = 0) in vec4 vVertex;

#include "projection_block.glsl"
#include "model_block.glsl"

void main()
{
    gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
}
