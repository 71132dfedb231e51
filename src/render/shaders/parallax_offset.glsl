// Three steps along the camera direction over the height in the normal map's alpha;
// `depth` scales the three height terms.
vec2 ParallaxCoordinate(vec2 uv, float depth)
{
    vec3 e = normalize(vCameraDirection);
    vec2 o = vec2(e.x, -e.y) / e.z;
    vec2 uv1 = uv + (texture(NormalMap, uv).a * 0.03 - 0.02) * depth * o * 0.15;
    vec2 uv2 = uv1 + (texture(NormalMap, uv1).a * 0.02 - 0.015) * depth * o * 0.35;
    return uv2 + (texture(NormalMap, uv2).a * 0.02 - 0.02) * depth * o * 0.50;
}
