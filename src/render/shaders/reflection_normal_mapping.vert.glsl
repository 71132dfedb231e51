#version 330

layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 6) in vec3 vTangent;

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

uniform mat4 mViewMatrix;

out vec4 vViewPosition;
out vec2 vTexCoord;
out mat3 mTangentFrame;
out mat3 mEyeMatrix;
out vec3 vEyeDirection;

void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    gl_Position = mProjectionMatrix * viewPosition;
    vEyeDirection = normalize(viewPosition.xyz / viewPosition.w);
    viewPosition.w = 1.0;
    vViewPosition = viewPosition;
    vec3 t = normalize(mNormalMatrix * vTangent);
    vec3 n = normalize(mNormalMatrix * vNormal);
    mTangentFrame = mat3(t, cross(n, t), n);
    mEyeMatrix = mat3(mViewMatrix);
    vTexCoord = vTexCoord0;
}
