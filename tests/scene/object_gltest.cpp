// Objects in the shader queues: listed under their material's program from creation,
// moved with a change of material or program, and taken out when released.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/engine.h"
#include "gpu/material.h"
#include "kve.h"
#include "render/shader_queues.h"
#include "scene/object.h"

namespace {

namespace scene = kve::scene;

constexpr int kMesh = 70;
constexpr int kMaterial = 71;
constexpr int kNormalMappingKind = 5;
constexpr int kTexturesKind = 4;

// The objects listed under the material in its program's queue.
std::vector<KVE_OBJECT*> listedUnder(const KVE_MATERIAL* material)
{
    if (!material || !material->program)
        return {};
    for (const auto& element : kve::render::shaderQueue(material->program->queue)) {
        if (element.program != material->program)
            continue;
        for (const auto& entry : element.materials)
            if (entry.material == material)
                return entry.objects;
    }
    return {};
}

int timesListed(const KVE_MATERIAL* material, const KVE_OBJECT* object)
{
    const auto listed = listedUnder(material);
    return static_cast<int>(std::count(listed.begin(), listed.end(), object));
}

class ObjectsInQueues : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(KVE_CreateMesh(kMesh, ""), nullptr);
        stone = KVE_CreateMaterial(kMaterial, -1, kNormalMappingKind, "Stone");
        ASSERT_NE(stone, nullptr);
        defaultMaterial = KVE_GetMaterial(kve::engine::state().defaultMaterial);
        ASSERT_NE(defaultMaterial, nullptr);
    }
    void TearDown() override
    {
        scene::releaseObjects();
        KVE_ReleaseMaterial(kMaterial);
        KVE_ReleaseMesh(kMesh);
    }
    KVE_MATERIAL* stone = nullptr;
    KVE_MATERIAL* defaultMaterial = nullptr;
};

TEST_F(ObjectsInQueues, CreationListsTheObjectOnceUnderItsMaterial)
{
    KVE_OBJECT* plain = KVE_CreateObject(1, kMesh, -1, "", 0, 0);
    KVE_OBJECT* stony = KVE_CreateObject(2, kMesh, kMaterial, "", 0, 0);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(stony, nullptr);
    EXPECT_EQ(plain->material, defaultMaterial);
    EXPECT_EQ(stony->material, stone);
    EXPECT_EQ(timesListed(defaultMaterial, plain), 1);
    EXPECT_EQ(timesListed(stone, stony), 1);
    EXPECT_EQ(timesListed(stone, plain), 0);

    EXPECT_EQ(KVE_RegisterObject(2), 0); // already listed
    EXPECT_EQ(KVE_UnregisterObject(2), 1);
    EXPECT_EQ(timesListed(stone, stony), 0);
    EXPECT_EQ(KVE_UnregisterObject(2), 0);
    EXPECT_EQ(KVE_RegisterObject(2), 1);
    EXPECT_EQ(timesListed(stone, stony), 1);

    KVE_OBJECT* copy = KVE_CopyObject(3, 2, "");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(listedUnder(stone), (std::vector<KVE_OBJECT*>{stony, copy}));

    EXPECT_EQ(KVE_ReleaseObject(2), 1);
    EXPECT_EQ(listedUnder(stone), (std::vector<KVE_OBJECT*>{copy}));
}

TEST_F(ObjectsInQueues, MaterialAndProgramChangesMoveTheObject)
{
    KVE_OBJECT* object = KVE_CreateObject(1, kMesh, kMaterial, "", 0, 0);
    ASSERT_EQ(KVE_SetObjectMaterial(1, -1), 1);
    EXPECT_EQ(object->material, defaultMaterial);
    EXPECT_EQ(timesListed(stone, object), 0);
    EXPECT_EQ(timesListed(defaultMaterial, object), 1);
    EXPECT_EQ(KVE_SetObjectMaterial(1, 9999), 0);
    EXPECT_EQ(KVE_SetObjectMaterial(9999, kMaterial), 0);
    EXPECT_EQ(object->material, defaultMaterial);

    ASSERT_EQ(KVE_SetObjectMaterial(1, kMaterial), 1);
    ShaderProgram* before = stone->program;
    KVE_SetMaterialKind(kMaterial, kTexturesKind); // another program, in another queue
    ASSERT_NE(stone->program, before);
    EXPECT_EQ(timesListed(stone, object), 1);
}

TEST_F(ObjectsInQueues, UnknownOrReleasedMaterialsListNothingAndAreNeverRead)
{
    KVE_OBJECT* loose = KVE_CreateObject(1, kMesh, 9999, "", 0, 0);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(loose->material, nullptr);
    EXPECT_EQ(KVE_RegisterObject(1), 0);

    KVE_OBJECT* orphan = KVE_CreateObject(2, kMesh, kMaterial, "", 0, 0);
    ASSERT_NE(orphan, nullptr);
    KVE_ReleaseMaterial(kMaterial);
    EXPECT_EQ(KVE_UnregisterObject(2), 0);
    EXPECT_EQ(KVE_RegisterObject(2), 0);
    EXPECT_EQ(KVE_ReleaseObject(2), 1);
}

TEST_F(ObjectsInQueues, ReleasingTheMeshTakesItsObjectsOutOfThePipeline)
{
    KVE_OBJECT* object = KVE_CreateObject(3, kMesh, kMaterial, "", 0, 0);
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(timesListed(stone, object), 1);
    KVE_ReleaseMesh(kMesh);
    EXPECT_EQ(object->mesh, nullptr);
    EXPECT_EQ(timesListed(stone, object), 0);
    EXPECT_EQ(KVE_RegisterObject(3), 0) << "an object without a mesh cannot be drawn";
    ASSERT_NE(KVE_CreateMesh(kMesh, ""), nullptr) << "for the fixture's tear-down";
}

} // namespace
