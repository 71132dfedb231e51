// KVE_InitProjection and the projection setters: the perspective, orthographic and 2D
// matrices built from their element formulas and uploaded into the Projection block.
#include "render/projection.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>

#include "core/engine.h"
#include "platform/gl.h"
#include "render/uniform_blocks.h"
#include "scene/camera.h"

namespace kve::render {
namespace {

constexpr float kOrthographicExtent = 100.0f;
constexpr float k2DNear = -512.0f;
constexpr float k2DFar = 512.0f;

ProjectionState state;

// The orthographic 3D view: x from 0 to aspect * 100 and y from -(height/width) * 100 to 0.
KVE_Matrix orthographic3D()
{
    const auto& screen = engine::state();
    const float heightOverWidth =
        screen.screenWidth > 0 ? static_cast<float>(screen.screenHeight) / static_cast<float>(screen.screenWidth) : 1.0f;
    return orthographicMatrix(0.0f, state.aspect * kOrthographicExtent, -heightOverWidth * kOrthographicExtent, 0.0f,
                              state.nearPlane, state.farPlane);
}

void rebuild3D()
{
    state.perspective = perspectiveMatrix(state.fieldOfView, state.aspect, state.nearPlane, state.farPlane);
    state.orthographic = orthographic3D();
}

// The planes changed: both 3D matrices, the current one uploaded, and the Misc planes.
void planesChanged()
{
    rebuild3D();
    uploadCurrentProjection();
    MiscBlock misc{};
    UniformBlockBuffer& block = uniformBlock(Block::Misc);
    std::memcpy(&misc, block.data, sizeof misc);
    misc.nearPlane = state.nearPlane;
    misc.farPlane = state.farPlane;
    writeMiscBlock(misc);
}

} // namespace

const ProjectionState& projection()
{
    return state;
}

const KVE_Matrix& currentProjectionMatrix()
{
    return state.mode == KVE_PROJECTION_ORTHOGRAPHIC ? state.orthographic : state.perspective;
}

void uploadCurrentProjection()
{
    writeBlock(Block::Projection, 0, &currentProjectionMatrix(), sizeof(KVE_Matrix));
}

void applyScreenSize()
{
    const auto& screen = engine::state();
    state.aspect = screen.screenHeight > 0
                       ? static_cast<float>(screen.screenWidth) / static_cast<float>(screen.screenHeight)
                       : 1.0f;
    glViewport(0, 0, screen.screenWidth, screen.screenHeight);
    rebuild3D();
    state.matrix2D = orthographicMatrix(0.0f, static_cast<float>(screen.screenWidth),
                                        static_cast<float>(screen.screenHeight), 0.0f, k2DNear, k2DFar);
}

void uploadScreenProjection()
{
    uploadCurrentProjection();
    writeBlock(Block::Projection, offsetof(ProjectionBlock, matrix2D), &state.matrix2D, sizeof(KVE_Matrix));
}

void resetProjection()
{
    state = ProjectionState{};
}

KVE_Matrix perspectiveMatrix(float fieldOfViewDegrees, float aspect, float nearPlane, float farPlane)
{
    const float t = std::tan(fieldOfViewDegrees * (std::numbers::pi_v<float> / 180.0f) * 0.5f);
    KVE_Matrix m{};
    m.c[0].x = 1.0f / (t * aspect);
    m.c[1].y = 1.0f / t;
    m.c[2].z = (farPlane + nearPlane) / (nearPlane - farPlane);
    m.c[2].w = -1.0f;
    m.c[3].z = 2.0f * farPlane * nearPlane / (nearPlane - farPlane);
    return m;
}

KVE_Matrix orthographicMatrix(float left, float right, float bottom, float top, float nearPlane, float farPlane)
{
    KVE_Matrix m{};
    m.c[0].x = 2.0f / (right - left);
    m.c[1].y = 2.0f / (top - bottom);
    m.c[2].z = -2.0f / (farPlane - nearPlane);
    m.c[3].x = -(right + left) / (right - left);
    m.c[3].y = -(top + bottom) / (top - bottom);
    m.c[3].z = -(farPlane + nearPlane) / (farPlane - nearPlane);
    m.c[3].w = 1.0f;
    return m;
}

} // namespace kve::render

using kve::render::state;

extern "C" {

void KVE_InitProjection(void)
{
    kve::scene::resetCamera();
    state = kve::render::ProjectionState{};
    kve::render::applyScreenSize();

    glGenBuffers(1, &state.buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, state.buffer);
    glBufferData(GL_UNIFORM_BUFFER, sizeof(kve::render::ProjectionBlock), nullptr, GL_STATIC_DRAW);
    kve::render::uniformBlock(kve::render::Block::Projection).buffer = state.buffer;
    kve::render::writeBlock(kve::render::Block::Projection, 0, &state.perspective, sizeof(KVE_Matrix));
    kve::render::writeBlock(kve::render::Block::Projection, offsetof(kve::render::ProjectionBlock, matrix2D),
                            &state.matrix2D, sizeof(KVE_Matrix));
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, state.buffer);
}

void KVE_SetProjectionFOV(float degrees)
{
    state.fieldOfView = degrees;
    state.perspective = kve::render::perspectiveMatrix(state.fieldOfView, state.aspect, state.nearPlane, state.farPlane);
    if (state.mode == KVE_PROJECTION_PERSPECTIVE)
        kve::render::uploadCurrentProjection();
}

void KVE_SetProjectionNear(float distance)
{
    state.nearPlane = distance;
    kve::render::planesChanged();
}

void KVE_SetProjectionFar(float distance)
{
    state.farPlane = distance;
    kve::render::planesChanged();
}

void KVE_SetProjectionMode(int mode)
{
    state.mode = mode == KVE_PROJECTION_ORTHOGRAPHIC ? KVE_PROJECTION_ORTHOGRAPHIC : KVE_PROJECTION_PERSPECTIVE;
    kve::render::uploadCurrentProjection();
}

int KVE_GetProjectionMode(void)
{
    return state.mode;
}

float KVE_GetProjectionFOV(void)
{
    return state.fieldOfView;
}

float KVE_GetProjectionNear(void)
{
    return state.nearPlane;
}

float KVE_GetProjectionFar(void)
{
    return state.farPlane;
}

float KVE_GetProjectionAspect(void)
{
    return state.aspect;
}

void KVE_GetProjectionMatrix(KVE_Matrix* matrix)
{
    if (matrix)
        *matrix = kve::render::currentProjectionMatrix();
}

void KVE_Get2DMatrix(KVE_Matrix* matrix)
{
    if (matrix)
        *matrix = state.matrix2D;
}

} // extern "C"
