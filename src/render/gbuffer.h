// The bare programs of the lighting and post-processing passes, built by KVE_InitGBuffer
// beside the G-buffer. They are not shader registry entries: each keeps its GL program
// and the locations of its uniforms, looked up once after linking.
#pragma once

#include <vector>

namespace kve::render {

struct BareProgram {
    unsigned program = 0;
    std::vector<int> locations; // in the order the program's enum below lists them
};

// Uniform indices, per program.
enum CasterUniform : int { kCasterColorMap = 0 };
enum WindCasterUniform : int { kWindCasterWind = 0, kWindCasterColorMap };
enum DirectLightUniform : int {
    kDirectPositionMap = 0,
    kDirectNormalMap,
    kDirectDiffuseMap,
    kDirectSpecularMap,
    kDirectMiscMap,
    kDirectShadowMap,
    kDirectAmbientColor,
    kDirectLightState,
    kDirectLightDirection,
    kDirectLightColor,
    kDirectLightIntensity,
    kDirectWorldToLightView,
    kDirectLightViewToProjection,
    kDirectWorldToCameraView,
};
enum ShadowedPointUniform : int {
    kShadowedShadowMap = 5,
    kShadowedStaticShadowMap,
    kShadowedWorldView,
    kShadowedShadowTexture,
};
enum DepthUniform : int { kDepthDepthMap = 0 };
enum BlurUniform : int { kBlurColorMap = 0, kBlurDepthMap, kBlurUShift, kBlurVShift };
enum GlowUniform : int { kGlowDiffuseMap = 0 };

struct GBufferPrograms {
    BareProgram caster, arrayCaster, windCaster;
    BareProgram directLight, pointLight, shadowedPointLight, spotLight;
    BareProgram depthLinearize, blur, glow;
};

const GBufferPrograms& gbufferPrograms();
void deleteGBufferPrograms();

} // namespace kve::render
