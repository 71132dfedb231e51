#version 330

uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
uniform float fUShift;
uniform float fVShift;

in vec2 vTexCoord;

layout(location = 0) out vec4 vFragColor;

const float kWeights[11] = float[11](0.0402, 0.0623, 0.0877, 0.1120, 0.1297, 0.1362, 0.1297, 0.1120, 0.0877,
                                     0.0623, 0.0402);

// One direction of a separable 11-tap Gaussian blur, brightened three times so the glow
// keeps its strength after spreading.
void main()
{
    vec2 shift = vec2(fUShift, fVShift);
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 11; ++i)
        sum += texture(ColorMap, vTexCoord + float(5 - i) * shift) * kWeights[i];
    vFragColor = sum * 3.0;
}
