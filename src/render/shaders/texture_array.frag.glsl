#version 330

#include "material_block.glsl"

uniform sampler2DArray ColorMap;
uniform sampler2DArray NormalMap;
uniform sampler2DArray SpecularMap;

in vec3 vTexCoord;

#include "gbuffer_write.glsl"

// Every map is read at the layer of the vertex group.
vec3 SurfaceNormal(vec3 normal)
{
    return normal;
}

#include "specular_surface.glsl"
