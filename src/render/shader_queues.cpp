// Shader queues and the material and object lists under each queued program.
#include "render/shader_queues.h"

#include <algorithm>
#include <array>

#include "core/log.h"

namespace kve::render {
namespace {

std::array<std::vector<QueueElement>, kShaderQueueCount> queues;
const std::vector<QueueElement> kEmptyQueue;

bool validQueue(int queue)
{
    return queue >= 0 && queue < kShaderQueueCount;
}

QueueElement* findElement(const ShaderProgram* program)
{
    if (!program || !validQueue(program->queue))
        return nullptr;
    auto& queue = queues[static_cast<size_t>(program->queue)];
    const auto found =
        std::find_if(queue.begin(), queue.end(), [&](const QueueElement& e) { return e.program == program; });
    return found == queue.end() ? nullptr : &*found;
}

QueuedMaterial* findMaterial(QueueElement* element, const gpu::MaterialRecord* material)
{
    if (!element)
        return nullptr;
    auto& list = element->materials;
    const auto found =
        std::find_if(list.begin(), list.end(), [&](const QueuedMaterial& m) { return m.material == material; });
    return found == list.end() ? nullptr : &*found;
}

// Removes the first element equal by `key`; whether one was there.
template <class List, class Key>
bool eraseFirst(List& list, Key&& key)
{
    const auto found = std::find_if(list.begin(), list.end(), key);
    if (found == list.end())
        return false;
    list.erase(found);
    return true;
}

} // namespace

bool enqueueProgram(int queue, ShaderProgram* program)
{
    if (!program || !validQueue(queue))
        return false;
    program->queue = queue;
    auto& list = queues[static_cast<size_t>(queue)];
    if (std::any_of(list.begin(), list.end(), [&](const QueueElement& e) { return e.program == program; }))
        return false;
    list.push_back(QueueElement{program, {}});
    return true;
}

const std::vector<QueueElement>& shaderQueue(int queue)
{
    return validQueue(queue) ? queues[static_cast<size_t>(queue)] : kEmptyQueue;
}

bool registerMaterial(ShaderProgram* program, gpu::MaterialRecord* material)
{
    QueueElement* element = findElement(program);
    if (!element || !material || findMaterial(element, material))
        return false;
    element->materials.push_back(QueuedMaterial{material, {}});
    return true;
}

bool unregisterMaterial(ShaderProgram* program, gpu::MaterialRecord* material)
{
    QueueElement* element = findElement(program);
    return element && eraseFirst(element->materials, [&](const QueuedMaterial& m) { return m.material == material; });
}

bool registerObject(ShaderProgram* program, gpu::MaterialRecord* material, KVE_OBJECT* object)
{
    QueuedMaterial* listed = findMaterial(findElement(program), material);
    if (!listed || !object || std::find(listed->objects.begin(), listed->objects.end(), object) != listed->objects.end())
        return false;
    listed->objects.push_back(object);
    return true;
}

bool unregisterObject(ShaderProgram* program, gpu::MaterialRecord* material, KVE_OBJECT* object)
{
    QueuedMaterial* listed = findMaterial(findElement(program), material);
    return listed && eraseFirst(listed->objects, [&](const KVE_OBJECT* o) { return o == object; });
}

void removeFromShaderQueues(const ShaderProgram* program)
{
    for (auto& queue : queues)
        std::erase_if(queue, [&](const QueueElement& e) { return e.program == program; });
}

} // namespace kve::render

extern "C" int KVE_QueueShader(int queue, ShaderProgram* shader)
{
    if (!shader)
        return 0;
    if (queue < 0 || queue >= kve::render::kShaderQueueCount) {
        kve::log::fail("Fail: This queue is not available!", "KVE_QueueShader");
        return 0;
    }
    return kve::render::enqueueProgram(queue, shader) ? 1 : 0;
}
