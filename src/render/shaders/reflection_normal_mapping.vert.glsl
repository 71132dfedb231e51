#version 330

#include "mesh_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

#include "tangent_frame.glsl"
#include "gbuffer_vertex.glsl"

uniform mat4 mViewMatrix;

out vec2 vTexCoord;
out mat3 mEyeMatrix;
out vec3 vEyeDirection;

void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    vEyeDirection = normalize(viewPosition.xyz / viewPosition.w);
    PlaceSurface(viewPosition);
    mEyeMatrix = mat3(mViewMatrix);
    vTexCoord = vTexCoord0;
}
