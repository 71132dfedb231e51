#version 330

#include "material_block.glsl"

uniform sampler2D ColorMap;
uniform sampler2D NormalMap;
uniform sampler2D SpecularMap;

in vec2 vTexCoord;

#include "gbuffer_write.glsl"

// Two-sided foliage: the front face takes the normal turned around.
vec3 SurfaceNormal(vec3 normal)
{
    return gl_FrontFacing ? -normal : normal;
}

#include "specular_surface.glsl"
