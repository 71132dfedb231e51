// The sky box and its layers, and their operations. Each is drawn with the Skybox
// program: its direction from the centre picks the cube-map texel, and the G-buffer's
// coverage mark keeps it off every pixel that geometry covered.
#include "render/sky_box.h"

#include <algorithm>

#include "geometry/mesh.h"
#include "gpu/shader.h"
#include "gpu/texture.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/render_targets.h"
#include "render/uniform_blocks.h"

namespace kve::render {
namespace {

SkyBox sky;

// A unit cube of 8 corners seen from inside.
void buildSkyCube()
{
    const float corners[8][4] = {{-1, -1, -1, 1}, {1, -1, -1, 1}, {-1, 1, -1, 1}, {1, 1, -1, 1},
                                 {-1, -1, 1, 1},  {1, -1, 1, 1},  {-1, 1, 1, 1},  {1, 1, 1, 1}};
    const unsigned indices[36] = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 2, 6, 0, 6, 4,
                                  1, 5, 7, 1, 7, 3, 0, 4, 5, 0, 5, 1, 2, 3, 7, 2, 7, 6};
    glGenVertexArrays(1, &sky.vertexArray);
    glBindVertexArray(sky.vertexArray);
    glGenBuffers(1, &sky.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, sky.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
    glGenBuffers(1, &sky.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, sky.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
}

void toColor(float (&out)[4], int color)
{
    KVE_Vector rgba;
    KVE_ColorToVector(&rgba, color);
    out[0] = rgba.x, out[1] = rgba.y, out[2] = rgba.z, out[3] = rgba.w;
}

void toRotation(KVE_Matrix& out, float x, float y, float z)
{
    KVE_Quaternion q;
    KVE_EulerToQuaternion(&q, x, y, z, 0);
    KVE_QuaternionToMatrix(&q, &out);
}

// One layer: skipped when its cube map or mesh is gone (released since it was set).
void drawLayer(const SkyLayer& layer, const KVE_Matrix& view, GLint colorLocation)
{
    const auto* cube = gpu::findTexture(layer.texture);
    if (!cube)
        return;
    unsigned vertexArray = sky.vertexArray;
    int indexCount = 36;
    if (layer.mesh != -1) {
        const geometry::MeshRecord* mesh = geometry::findMesh(layer.mesh);
        if (!mesh || !mesh->finished())
            return;
        vertexArray = mesh->vertexArray;
        indexCount = mesh->indexCount;
    }
    // Turned with the camera, never moved with it.
    KVE_Matrix modelView;
    KVE_MultiplyMatrix(&modelView, &view, &layer.matrix);
    modelView.c[3] = {0, 0, 0, 1};
    writeModelBlock(modelView);
    glUniform4fv(colorLocation, 1, layer.color);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->texture);
    glBindVertexArray(vertexArray);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
}

SkyLayer* layerAt(int layer)
{
    return layer >= 0 && static_cast<size_t>(layer) < sky.layers.size() ? &sky.layers[static_cast<size_t>(layer)]
                                                                         : nullptr;
}

} // namespace

SkyBox& skyBox()
{
    return sky;
}

void drawSkyBox(const KVE_Matrix& view)
{
    const ShaderProgram* program = builtinProgram(KVE_SHADER_SKYBOX);
    if (!program)
        return;
    if (!sky.vertexArray)
        buildSkyCube();
    glUseProgram(program->program);
    glUniform1i(glGetUniformLocation(program->program, "ColorCubeMap"), 0);
    glUniform1i(glGetUniformLocation(program->program, "MaskMap"), 1);
    const GLint colorLocation = glGetUniformLocation(program->program, "vColor");
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, gbuffer().textures[kMiscMap]);
    glDisable(GL_CULL_FACE);
    // Layers blend over the sky by their alpha, and the coverage they add accumulates: a
    // half-transparent cloud must not make an opaque sky let the background through.
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    drawLayer(sky.base, view, colorLocation);
    for (const SkyLayer& layer : sky.layers)
        drawLayer(layer, view, colorLocation);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
}

void deleteSkyBox()
{
    if (sky.vertexArray) {
        glDeleteVertexArrays(1, &sky.vertexArray);
        glDeleteBuffers(1, &sky.vertexBuffer);
        glDeleteBuffers(1, &sky.indexBuffer);
    }
    sky = SkyBox{};
}

} // namespace kve::render

using kve::render::sky;

extern "C" {

void KVE_SetSkyBox(int texture, int color)
{
    sky.base.texture = texture;
    kve::render::toColor(sky.base.color, color);
}

void KVE_SetSkyBoxRotation(float x, float y, float z)
{
    kve::render::toRotation(sky.base.matrix, x, y, z);
}

int KVE_AddSkyBoxLayer(int mesh, int texture, int color)
{
    kve::render::SkyLayer layer;
    layer.mesh = mesh;
    layer.texture = texture;
    kve::render::toColor(layer.color, color);
    sky.layers.push_back(layer);
    return static_cast<int>(sky.layers.size()) - 1;
}

int KVE_SetSkyBoxLayerRotation(int layer, float x, float y, float z)
{
    kve::render::SkyLayer* found = kve::render::layerAt(layer);
    if (!found)
        return 0;
    kve::render::toRotation(found->matrix, x, y, z);
    return 1;
}

int KVE_GetSkyBoxLayerCount(void)
{
    return static_cast<int>(sky.layers.size());
}

void KVE_ClearSkyBoxLayers(void)
{
    sky.layers.clear();
}

} // extern "C"
