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

out vec4 vViewPosition;
out vec2 vTexCoord;
out mat3 mTangentFrame;
out vec3 vCameraDirection;

void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    gl_Position = mProjectionMatrix * viewPosition;
    viewPosition.w = 1.0;
    vViewPosition = viewPosition;
    vec3 t = normalize(mNormalMatrix * vTangent);
    vec3 n = normalize(mNormalMatrix * vNormal);
    mTangentFrame = mat3(t, cross(n, t), n);
    vCameraDirection = -viewPosition.xyz * mTangentFrame;
    vTexCoord = vTexCoord0;
}
