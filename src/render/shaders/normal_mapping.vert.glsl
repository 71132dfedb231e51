#version 330

#include "mesh_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

#include "tangent_frame.glsl"
#include "gbuffer_vertex.glsl"

out vec2 vTexCoord;
out vec3 vCameraDirection;

// The camera direction in tangent space feeds the parallax programs; the others leave it.
void main()
{
    vec4 viewPosition = mModelViewMatrix * vVertex;
    PlaceSurface(viewPosition);
    vCameraDirection = -viewPosition.xyz * mTangentFrame;
    vTexCoord = vTexCoord0;
}
