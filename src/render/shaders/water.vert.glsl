#version 330

#include "mesh_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

#include "misc_block.glsl"

uniform vec3 vLightDir;
uniform mat4 mViewMatrix;

out vec2 vTexCoord;
out mat3 mEyeMatrix;
out vec3 vEyeReflection;
out vec3 vEyeDirection;
out vec3 vLightDirection;
out float fLinearDepth;

#include "tangent_frame.glsl"

#include "linearize_depth.glsl"

void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    gl_Position = mProjectionMatrix * viewPosition;
    mat3 tangentFrame = TangentFrame();
    mEyeMatrix = mat3(mViewMatrix);
    vEyeReflection = tangentFrame * normalize(viewPosition.xyz / viewPosition.w);
    vEyeDirection = -viewPosition.xyz * tangentFrame;
    vLightDirection = vLightDir * tangentFrame;
    fLinearDepth = LinearizeDepth(gl_Position.z / gl_Position.w);
    vTexCoord = vTexCoord0;
}
