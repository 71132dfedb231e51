// The lighting model every light program shares: Lambert diffuse with surface scattering
// (light wrapping round to the unlit side by up to the scattering amount) and a Phong
// specular lobe, both scaled by the shadow visibility. L points from the surface toward
// the light, in view space.
vec3 SurfaceLight(Surface g, vec3 L, float shadow)
{
    float facing = dot(g.normal, L);
    float diffuse = facing * shadow;
    if (diffuse < g.scattering)
        diffuse = g.scattering * (1.0 - facing) * shadow;
    float specular = pow(max(0.0, dot(reflect(L, g.normal), normalize(g.position))), g.hardness) * g.specular.a * shadow;
    return g.diffuse.rgb * diffuse + g.specular.rgb * specular;
}

// Linear fall-off to zero at the light's range; v is (light - surface) / range.
float Attenuation(vec3 v)
{
    return max(0.0, 1.0 - sqrt(dot(v, v)));
}

// Where a point light of the given view position and range reaches a covered pixel: the
// direction toward it and its attenuation. False where it adds nothing.
bool PointLightReach(Surface g, vec3 lightPosition, float range, out vec3 L, out float attenuation)
{
    vec3 v = (lightPosition - g.position) / range;
    attenuation = Attenuation(v);
    L = normalize(v);
    return g.coverage != 0.0 && attenuation > 0.0;
}
