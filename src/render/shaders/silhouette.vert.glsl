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

out vec2 vTexCoord;
out vec3 vEyeDirection;
out vec3 vLightDirection;

// Pushed out a little along the normal so that the outline lies over the surface.
void main()
{
    vec4 viewPosition = mModelViewMatrix * (vVertex + vec4(vNormal, 0.0) * 0.001);
    gl_Position = mProjectionMatrix * viewPosition;
    vec3 t = normalize(mNormalMatrix * vTangent);
    vec3 n = normalize(mNormalMatrix * vNormal);
    mat3 tangentFrame = mat3(t, cross(n, t), n);
    vEyeDirection = tangentFrame * -viewPosition.xyz;
    vLightDirection = tangentFrame * vec3(0.0, 0.0, 1.0);
    vTexCoord = vTexCoord0;
}
