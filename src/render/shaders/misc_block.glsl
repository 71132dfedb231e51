layout(std140) uniform Misc
{
    vec2 vMapSize;
    float fNear;
    float fFar;
};
