layout(std140) uniform ProjectionMatrix
{
    mat4 mProjectionMatrix;
    mat4 m2DMatrix;
};

layout(std140) uniform ModelMatrices
{
    mat4 mModelMatrix;
};
