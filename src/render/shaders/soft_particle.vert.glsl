#version 330

#include "particle_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

#include "misc_block.glsl"

out vec2 vTexCoord;
out vec4 vParticleColor;
out float fLinearDepth;

#include "linearize_depth.glsl"

void main()
{
    gl_Position = mProjectionMatrix * (mModelViewMatrix * vPosition + vVertex * fSize);
    fLinearDepth = LinearizeDepth(gl_Position.z / gl_Position.w);
    vTexCoord = vTexCoord0;
    vParticleColor = vColor;
}
