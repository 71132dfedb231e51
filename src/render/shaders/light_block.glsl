layout(std140) uniform Light
{
    vec3 vLightPosition; // view space
    float fLightRange;
    vec3 vLightColor;
    float fLightIntensity;
    vec3 vLightDirection;
    float fLightCone;
    int iStatic;
};
