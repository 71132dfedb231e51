#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 4) in vec4 vVertexColor;

#include "projection_block.glsl"
#include "model_block.glsl"

out vec4 vPointColor;

void main()
{
    gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
    vPointColor = vVertexColor;
}
