// How mesh passes find and draw surfaces: the walk over one shader queue (programs,
// their materials, the materials' objects) with the pass's object filter and program
// choice, the binding of a material for its program's kind, and the one routine that
// draws an object.
#pragma once

#include "kve.h"

namespace kve::gpu {
struct MaterialRecord;
}

namespace kve::render {

struct ShadowVolume;

enum class ObjectFilter {
    Camera,        // visible and not excluded from camera passes (the G-buffer pass)
    Visible,       // visible (forward and over-image passes)
    Caster,        // visible and casting shadows
    DynamicCaster, // a casting object that is not static (a static light's per-frame map)
    StaticCaster,  // a casting static object (baking a static light's map)
};

struct MeshPass {
    const KVE_Matrix* view = nullptr;
    ObjectFilter filter = ObjectFilter::Visible;
    bool wireframe = false; // honour the materials' wireframe flag
    bool shadow = false;    // draw with the shadow-caster programs instead of the materials' own
    const ShadowVolume* volume = nullptr; // shadow passes: only casters meeting it are drawn
    const ShadowVolume* cull = nullptr;   // camera passes: objects wholly outside it are left out
};

bool passesFilter(const KVE_OBJECT& object, ObjectFilter filter);

// Model block := view x `world` (the object's world matrix; normal matrix included), then
// one indexed draw of the object's mesh. Objects without a finished mesh are skipped
// (false).
bool drawObject(const KVE_OBJECT& object, const KVE_Matrix& view, const KVE_Matrix& world);

// Draws every object of queue `queue` that the pass accepts.
void walkQueue(int queue, const MeshPass& pass);

// Selects a built-in program and sets the per-frame uniforms its kind reads.
void useMaterialProgram(const ShaderProgram& program);
// Binds the material's textures, Material block bytes and plain uniforms for the kind.
void bindMaterial(const ShaderProgram& program, const gpu::MaterialRecord& material);

// Forgets what was learnt about programs (shutdown; program names may be reused).
void resetProgramSlots();

} // namespace kve::render
