#version 330

#include "particle_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

out vec2 vTexCoord;
out vec4 vParticleColor;

// The corner offsets carry w = 0, so the quad is spread in view space and faces the camera.
void main()
{
    gl_Position = mProjectionMatrix * (mModelViewMatrix * vPosition + vVertex * fSize);
    vTexCoord = vTexCoord0;
    vParticleColor = vColor;
}
