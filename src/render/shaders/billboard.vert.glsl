#version 330

#include "mesh_inputs.glsl"

#include "projection_block.glsl"
#include "model_block.glsl"

uniform samplerBuffer InstancesTextureBuffer;
uniform int iProjectionMode;

out vec2 vTexCoord;

// Each instance's matrix is four texels (its columns) of the instance buffer. Mode 0 draws
// the quad as placed; modes 1 and 2 put the instance's origin into view space and add the
// corner turned by the instance alone, so the quad faces the camera (mode 1 weights the
// origin by the vertex's w).
void main()
{
    int first = 4 * gl_InstanceID;
    mat4 instance = mat4(texelFetch(InstancesTextureBuffer, first), texelFetch(InstancesTextureBuffer, first + 1),
                         texelFetch(InstancesTextureBuffer, first + 2), texelFetch(InstancesTextureBuffer, first + 3));
    if (iProjectionMode == 1) {
        mat4 originOnly = mat4(vec4(0.0), vec4(0.0), vec4(0.0), vec4(0.0, 0.0, 0.0, 1.0));
        mat4 linearOnly = mat4(vec4(1.0, 0.0, 0.0, 0.0), vec4(0.0, 1.0, 0.0, 0.0), vec4(0.0, 0.0, 1.0, 0.0), vec4(0.0));
        gl_Position = mProjectionMatrix * (mModelViewMatrix * instance * originOnly + instance * linearOnly) * vVertex;
    } else if (iProjectionMode == 2) {
        gl_Position = mProjectionMatrix * (mModelViewMatrix * instance * vec4(0.0, 0.0, 0.0, 1.0) +
                                           instance * vec4(vVertex.xyz, 0.0));
    } else {
        gl_Position = mProjectionMatrix * mModelViewMatrix * instance * vVertex;
    }
    vTexCoord = vTexCoord0;
}
