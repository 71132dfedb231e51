// Tangent, bitangent and normal in view space, as the columns of a matrix that takes
// tangent-space vectors into view space.
mat3 TangentFrame()
{
    vec3 t = normalize(mNormalMatrix * vTangent);
    vec3 n = normalize(mNormalMatrix * vNormal);
    return mat3(t, cross(n, t), n);
}
