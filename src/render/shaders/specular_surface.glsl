// The surface of the programs that take their specular colour from a map; its alpha is
// the share of emission. SurfaceNormal lets a program turn the mapped normal.
void main()
{
    vec4 texel = texture(ColorMap, vTexCoord);
    if (texel.a == 0.0)
        discard;
    vec4 specular = texture(SpecularMap, vTexCoord);
    vec3 normal = SurfaceNormal(MappedNormal(texture(NormalMap, vTexCoord)));
    WriteGBuffer(normal, texel, 1.0 - specular.a, specular.rgb);
}
