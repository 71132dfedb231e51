// The shader queues: numbered lists of programs, each with the materials drawn by it and,
// under each material, the objects drawn with it. The frame walks them in order: queue,
// programs as queued, materials as they joined, objects as they joined.
#pragma once

#include <vector>

#include "kve.h"

namespace kve::gpu {
struct MaterialRecord;
}
struct KVE_OBJECT;

namespace kve::render {

// Queues 0 (G-buffer programs), 1 (unlit forward), 2 (over the composed image) and
// 7 (sprites) are used; the others exist and stay empty.
inline constexpr int kShaderQueueCount = 8;

struct QueuedMaterial {
    gpu::MaterialRecord* material = nullptr;
    std::vector<KVE_OBJECT*> objects;
};

struct QueueElement {
    ShaderProgram* program = nullptr;
    std::vector<QueuedMaterial> materials;
};

// Appends the program to queue `queue` and sets its queue number. False when the program
// is already in that queue or the queue number is outside 0..kShaderQueueCount-1.
bool enqueueProgram(int queue, ShaderProgram* program);

// The elements of one queue in drawing order (empty for a number outside the range).
const std::vector<QueueElement>& shaderQueue(int queue);

// Each of these lists an item at most once, under the element of `program` in the queue
// that the program's queue number names, and answers whether it changed anything.
bool registerMaterial(ShaderProgram* program, gpu::MaterialRecord* material);
bool unregisterMaterial(ShaderProgram* program, gpu::MaterialRecord* material);
bool registerObject(ShaderProgram* program, gpu::MaterialRecord* material, KVE_OBJECT* object);
bool unregisterObject(ShaderProgram* program, gpu::MaterialRecord* material, KVE_OBJECT* object);

// Drops the program's elements from every queue (with their material lists).
void removeFromShaderQueues(const ShaderProgram* program);

} // namespace kve::render
