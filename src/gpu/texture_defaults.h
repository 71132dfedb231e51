// Start-up and shutdown of the texture registry's engine-owned part.
#pragma once

namespace kve::gpu {

// The logo texture and the default textures and cube map, from the embedded images;
// their numbers go into the engine state.
void createLogoTexture();
void createDefaultTextures();

// Releases every texture and forgets the per-context state (engine shutdown).
void releaseAllTextures();

} // namespace kve::gpu
