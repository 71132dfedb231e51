// The shader queues and the material and object lists under each program.
#include <gtest/gtest.h>

#include "render/shader_queues.h"

namespace {

using namespace kve::render;

kve::gpu::MaterialRecord* material(int& storage)
{
    return reinterpret_cast<kve::gpu::MaterialRecord*>(&storage);
}

KVE_OBJECT* object(int& storage)
{
    return reinterpret_cast<KVE_OBJECT*>(&storage);
}

class ShaderQueues : public ::testing::Test {
protected:
    void TearDown() override
    {
        removeFromShaderQueues(&first);
        removeFromShaderQueues(&second);
    }
    ShaderProgram first{};
    ShaderProgram second{};
    int materialA = 0, materialB = 0, objectA = 0, objectB = 0;
};

TEST_F(ShaderQueues, ProgramsAreQueuedOncePerQueueInOrder)
{
    EXPECT_TRUE(enqueueProgram(1, &first));
    EXPECT_TRUE(enqueueProgram(1, &second));
    EXPECT_FALSE(enqueueProgram(1, &first));
    EXPECT_EQ(first.queue, 1);
    ASSERT_EQ(shaderQueue(1).size(), 2u);
    EXPECT_EQ(shaderQueue(1)[0].program, &first);
    EXPECT_EQ(shaderQueue(1)[1].program, &second);
    EXPECT_EQ(KVE_QueueShader(1, &first), 0);
    EXPECT_EQ(KVE_QueueShader(7, &first), 1);
    EXPECT_EQ(first.queue, 7);

    EXPECT_FALSE(enqueueProgram(kShaderQueueCount, &first));
    EXPECT_FALSE(enqueueProgram(-1, &first));
    EXPECT_EQ(KVE_QueueShader(8, &first), 0);
    EXPECT_EQ(first.queue, 7) << "a refused queue number leaves the record alone";
    EXPECT_TRUE(shaderQueue(8).empty());

    removeFromShaderQueues(&first);
    EXPECT_EQ(shaderQueue(1).size(), 1u);
    EXPECT_TRUE(shaderQueue(7).empty());
}

TEST_F(ShaderQueues, MaterialsJoinOnlyAQueuedProgramAndOnlyOnce)
{
    EXPECT_FALSE(registerMaterial(&first, material(materialA))) << "program not queued";
    ASSERT_TRUE(enqueueProgram(0, &first));
    EXPECT_TRUE(registerMaterial(&first, material(materialA)));
    EXPECT_TRUE(registerMaterial(&first, material(materialB)));
    EXPECT_FALSE(registerMaterial(&first, material(materialA)));
    EXPECT_FALSE(registerMaterial(&first, nullptr));
    EXPECT_FALSE(registerMaterial(nullptr, material(materialA)));
    const auto& materials = shaderQueue(0)[0].materials;
    ASSERT_EQ(materials.size(), 2u);
    EXPECT_EQ(materials[0].material, material(materialA));
    EXPECT_EQ(materials[1].material, material(materialB));

    EXPECT_TRUE(unregisterMaterial(&first, material(materialA)));
    EXPECT_FALSE(unregisterMaterial(&first, material(materialA)));
    ASSERT_EQ(shaderQueue(0)[0].materials.size(), 1u);
    EXPECT_EQ(shaderQueue(0)[0].materials[0].material, material(materialB));
}

TEST_F(ShaderQueues, ObjectsJoinTheirMaterialsListOnceInOrder)
{
    ASSERT_TRUE(enqueueProgram(2, &first));
    EXPECT_FALSE(registerObject(&first, material(materialA), object(objectA))) << "material not listed";
    ASSERT_TRUE(registerMaterial(&first, material(materialA)));
    EXPECT_TRUE(registerObject(&first, material(materialA), object(objectB)));
    EXPECT_TRUE(registerObject(&first, material(materialA), object(objectA)));
    EXPECT_FALSE(registerObject(&first, material(materialA), object(objectA)));
    EXPECT_FALSE(registerObject(&first, material(materialA), nullptr));
    EXPECT_FALSE(registerObject(&second, material(materialA), object(objectA))) << "other program";
    const auto& objects = shaderQueue(2)[0].materials[0].objects;
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0], object(objectB));
    EXPECT_EQ(objects[1], object(objectA));

    EXPECT_TRUE(unregisterObject(&first, material(materialA), object(objectB)));
    EXPECT_FALSE(unregisterObject(&first, material(materialA), object(objectB)));
    EXPECT_FALSE(unregisterObject(&first, material(materialB), object(objectA)));
    EXPECT_EQ(shaderQueue(2)[0].materials[0].objects, std::vector<KVE_OBJECT*>{object(objectA)});
}

TEST_F(ShaderQueues, ListsFollowTheQueueTheProgramNames)
{
    // A program queued in two queues lists materials under the queue it was last given.
    ASSERT_TRUE(enqueueProgram(0, &first));
    ASSERT_TRUE(enqueueProgram(1, &first));
    EXPECT_TRUE(registerMaterial(&first, material(materialA)));
    EXPECT_TRUE(shaderQueue(0)[0].materials.empty());
    EXPECT_EQ(shaderQueue(1)[0].materials.size(), 1u);
}

} // namespace
