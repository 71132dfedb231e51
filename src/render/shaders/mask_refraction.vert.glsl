#version 330

#include "mesh_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

#include "tangent_frame.glsl"

out vec2 vTexCoord;
out vec3 vEyeDirection;

void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    gl_Position = mProjectionMatrix * viewPosition;
    vEyeDirection = TangentFrame() * -viewPosition.xyz;
    vTexCoord = vTexCoord0;
}
