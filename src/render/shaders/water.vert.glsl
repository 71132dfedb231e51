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

layout(std140) uniform Misc
{
    vec2 vMapSize;
    float fNear;
    float fFar;
};

uniform vec3 vLightDir;
uniform mat4 mViewMatrix;

out vec2 vTexCoord;
out mat3 mEyeMatrix;
out vec3 vEyeReflection;
out vec3 vEyeDirection;
out vec3 vLightDirection;
out float fLinearDepth;

float LinearizeDepth(float z)
{
    return (2.0 * fNear) / (fFar + fNear - z * (fFar - fNear));
}

void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    gl_Position = mProjectionMatrix * viewPosition;
    vec3 t = normalize(mNormalMatrix * vTangent);
    vec3 n = normalize(mNormalMatrix * vNormal);
    mat3 tangentFrame = mat3(t, cross(n, t), n);
    mEyeMatrix = mat3(mViewMatrix);
    vEyeReflection = tangentFrame * normalize(viewPosition.xyz / viewPosition.w);
    vEyeDirection = -viewPosition.xyz * tangentFrame;
    vLightDirection = vLightDir * tangentFrame;
    fLinearDepth = LinearizeDepth(gl_Position.z / gl_Position.w);
    vTexCoord = vTexCoord0;
}
