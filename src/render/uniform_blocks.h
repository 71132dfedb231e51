// The five uniform blocks every engine program reads its constants from, each backed by
// one uniform buffer bound once to a fixed binding point. The structs below give the
// std140 byte layout the GLSL declarations follow; the writers fill the CPU copy and
// upload the written range.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kve.h"

namespace kve::render {

enum class Block : int { Projection = 0, Model = 1, Material = 2, Light = 3, Misc = 4 };
inline constexpr int kUniformBlockCount = 5;
inline constexpr int kLargestBlockSize = 128;

struct UniformBlockBuffer {
    int binding = 0;
    const char* name = "";
    unsigned buffer = 0;
    int size = 0;
    int unused[2] = {0, 0};
    int uploadSize = 0; // bytes the pipeline uploads when it writes the whole block
    alignas(16) unsigned char data[kLargestBlockSize] = {};
};

// std140: a mat4 is four vec4 columns; a mat3 three vec4 columns; a vec3 takes 12 bytes
// and the following float packs into its fourth component.
struct ProjectionBlock {
    KVE_Matrix projection; // perspective or orthographic
    KVE_Matrix matrix2D;
};
struct ModelBlock {
    KVE_Matrix modelView;  // or the view matrix alone for instanced draws
    KVE_Vector normal[3];  // upper-left 3x3 of modelView; w unused
};
struct MaterialBlock {
    float color[4];
    float intensity;
    float hardness;
    float third;  // surface scattering, or refraction (water, refraction kinds)
    float fourth; // emission, or reflection (kinds 6 and 13)
    float specular[4];
};
struct LightBlock {
    float position[3];
    float range;
    float color[3];
    float intensity;
    float direction[3];
    float cone;
    int32_t staticFlag;
};
struct MiscBlock {
    float mapSize[2]; // render target width and height in pixels
    float nearPlane;
    float farPlane;
};

static_assert(sizeof(ProjectionBlock) == 128 && offsetof(ProjectionBlock, matrix2D) == 64);
static_assert(sizeof(ModelBlock) == 112 && offsetof(ModelBlock, normal) == 64);
static_assert(sizeof(MaterialBlock) == 48 && offsetof(MaterialBlock, intensity) == 16 &&
              offsetof(MaterialBlock, fourth) == 28 && offsetof(MaterialBlock, specular) == 32);
static_assert(sizeof(LightBlock) == 52 && offsetof(LightBlock, range) == 12 && offsetof(LightBlock, color) == 16 &&
              offsetof(LightBlock, intensity) == 28 && offsetof(LightBlock, direction) == 32 &&
              offsetof(LightBlock, cone) == 44 && offsetof(LightBlock, staticFlag) == 48);
static_assert(sizeof(MiscBlock) == 16 && offsetof(MiscBlock, nearPlane) == 8);

UniformBlockBuffer& uniformBlock(Block block);
// The record at a binding point; null outside 0..4.
UniformBlockBuffer* uniformBlockAt(int binding);

// Copies `bytes` into the CPU copy at `offset` and uploads that range. Ranges outside the
// block are ignored; nothing is uploaded before the buffer exists.
void writeBlock(Block block, int offset, const void* bytes, int count);
// Uploads a range of the CPU copy as it is.
void uploadBlockRange(Block block, int offset, int count);

// The Model block of a draw: the model-view matrix and its upper-left 3x3 as the normal
// matrix (copied unchanged: objects are assumed to be scaled uniformly).
ModelBlock modelBlockOf(const KVE_Matrix& modelView);

// The per-draw writers of the pipeline.
void writeModelBlock(const KVE_Matrix& modelView);  // all 112 bytes, normal matrix included
void writeModelMatrix(const KVE_Matrix& matrix);    // bytes 0..63 only (sprites)
void writeMaterialBlock(const MaterialBlock& material, int bytes); // the first `bytes` bytes
void writeLightBlock(const LightBlock& light);
void writeMiscBlock(const MiscBlock& misc);

// Deletes the five buffers and forgets the records (engine shutdown).
void deleteUniformBuffers();

} // namespace kve::render
