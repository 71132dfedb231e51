#version 330

in vec4 vPointColor;

layout(location = 0) out vec4 vFragColor;

void main()
{
    vFragColor = vPointColor;
}
