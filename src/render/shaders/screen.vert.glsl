#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;

layout(std140) uniform Projection
{
    mat4 mProjectionMatrix;
    mat4 m2DMatrix;
};

out vec2 vTexCoord;

void main()
{
    gl_Position = m2DMatrix * vVertex;
    vTexCoord = vTexCoord0;
}
