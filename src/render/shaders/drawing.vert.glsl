#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 4) in vec4 vVertexColor;

layout(std140) uniform Projection
{
    mat4 mProjectionMatrix;
    mat4 m2DMatrix;
};

layout(std140) uniform Model
{
    mat4 mModelViewMatrix;
    mat3 mNormalMatrix;
};

out vec4 vPointColor;

void main()
{
    gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
    vPointColor = vVertexColor;
}
