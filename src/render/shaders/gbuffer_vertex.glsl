out vec4 vViewPosition;
out mat3 mTangentFrame;

// Projects a view-space position and hands it (with w = 1) and the tangent frame to the
// G-buffer write.
void PlaceSurface(vec4 viewPosition)
{
    gl_Position = mProjectionMatrix * viewPosition;
    viewPosition.w = 1.0;
    vViewPosition = viewPosition;
    mTangentFrame = TangentFrame();
}
