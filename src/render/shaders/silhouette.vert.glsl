#version 330

#include "mesh_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

#include "tangent_frame.glsl"

out vec2 vTexCoord;
out vec3 vEyeDirection;
out vec3 vLightDirection;

// Pushed out a little along the normal so that the outline lies over the surface.
void main()
{
    vec4 viewPosition = mModelViewMatrix * (vVertex + vec4(vNormal, 0.0) * 0.001);
    gl_Position = mProjectionMatrix * viewPosition;
    mat3 tangentFrame = TangentFrame();
    vEyeDirection = tangentFrame * -viewPosition.xyz;
    vLightDirection = tangentFrame * vec3(0.0, 0.0, 1.0);
    vTexCoord = vTexCoord0;
}
