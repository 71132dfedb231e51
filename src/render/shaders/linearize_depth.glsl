// Window depth (-1..1) to linear depth between the near and far planes (0..1).
float LinearizeDepth(float z)
{
    return (2.0 * fNear) / (fFar + fNear - z * (fFar - fNear));
}
