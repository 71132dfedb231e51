#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 4) in vec4 vColor;
layout(location = 7) in vec4 vPosition;
layout(location = 8) in float fSize;

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

out vec2 vTexCoord;
out vec4 vParticleColor;

// The corner offsets carry w = 0, so the quad is spread in view space and faces the camera.
void main()
{
    gl_Position = mProjectionMatrix * (mModelViewMatrix * vPosition + vVertex * fSize);
    vTexCoord = vTexCoord0;
    vParticleColor = vColor;
}
