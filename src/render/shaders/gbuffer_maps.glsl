// The G-buffer as the lighting programs read it, one texel per screen pixel.
uniform sampler2D PositionMap;
uniform sampler2D NormalMap;
uniform sampler2D DiffuseMap;
uniform sampler2D SpecularMap;
uniform sampler2D MiscMap;

struct Surface {
    vec3 position;    // view space
    float scattering; // how far light wraps round to the unlit side
    vec3 normal;      // view space, unit
    float hardness;   // specular exponent
    vec4 diffuse;     // rgb colour, a = emission
    vec4 specular;    // rgb colour, a = intensity
    float coverage;   // 1 where geometry was drawn, 0 elsewhere
};

Surface ReadSurface()
{
    vec2 s = gl_FragCoord.xy / vMapSize;
    vec4 position = texture(PositionMap, s);
    vec4 normal = texture(NormalMap, s);
    Surface g;
    g.position = position.xyz;
    g.scattering = position.a;
    g.normal = normal.xyz;
    g.hardness = normal.a;
    g.diffuse = texture(DiffuseMap, s);
    g.specular = texture(SpecularMap, s);
    g.coverage = texture(MiscMap, s).a;
    return g;
}
