// The bare registry entries of nodes, objects, materials and sounds: zero records (with
// their item header wired, and "no texture" in a material's slots), numbered and named
// by the common rules, harmless to draw, move and release before they are filled.
#include <gtest/gtest.h>

#include "gpu/material.h"
#include "kve.h"
#include "support/log_capture.h"

namespace {

class ListEntries : public kve::test::LogCaptureTest {};

bool allZero(const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (values[i] != 0.0f)
            return false;
    return true;
}

TEST_F(ListEntries, NodeEntriesAreZeroSceneItemsNumberedAndReplacedByName)
{
    int id = -1;
    KVE_NODE* first = KVE_CreateNodeListEntry(&id, "Pivot");
    ASSERT_NE(first, nullptr);
    EXPECT_GE(id, 0x10000);
    EXPECT_EQ(first->number, id);
    EXPECT_EQ(KVE_GetNode(id), first);
    EXPECT_EQ(first->item.kind, KVE_ITEM_NODE);
    EXPECT_EQ(first->item.fullMatrix, &first->matrix);
    EXPECT_EQ(first->item.rotation, &first->rotation);
    EXPECT_TRUE(allZero(&first->position.x, 4));
    EXPECT_TRUE(allZero(&first->rotation.x, 4));

    int explicitId = 77;
    KVE_NODE* second = KVE_CreateNodeListEntry(&explicitId, "Pivot");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(explicitId, 77);
    EXPECT_EQ(KVE_GetNode(id), nullptr); // the first one went with its name
    EXPECT_NE(capturedLog().find(logRow("Info: The already existing Node has been replaced!", "#0000FF",
                                        "KVE_CreateNodeListEntry")),
              std::string::npos)
        << capturedLog();
    // Placed like any node once it has a rotation.
    second->rotation = {0, 0, 0, 1};
    EXPECT_EQ(KVE_MoveNode(77, 1.0f, 2.0f, 3.0f, 0), 1);
    EXPECT_EQ(second->matrix.c[3].y, 2.0f);

    int refused = 0x10000;
    EXPECT_EQ(KVE_CreateNodeListEntry(&refused, ""), nullptr);
    EXPECT_EQ(refused, 0x10000);
    EXPECT_NE(capturedLog().find(logRow("Fail: This ID is not available!", "#FF0000", "KVE_CreateNodeListEntry")),
              std::string::npos);
    EXPECT_EQ(KVE_ReleaseNode(77), 1);
}

TEST_F(ListEntries, AnObjectEntryIsInvisibleMeshlessAndOutOfEveryPassUntilFilled)
{
    int id = 4321;
    KVE_OBJECT* object = KVE_CreateObjectListEntry(&id, "Bare");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(KVE_GetObject(4321), object);
    EXPECT_EQ(object->item.kind, KVE_ITEM_OBJECT);
    EXPECT_EQ(object->item.fullMatrix, &object->fullMatrix);
    EXPECT_EQ(object->item.rigidMatrix, &object->rigidMatrix);
    EXPECT_EQ(object->visible, 0);
    EXPECT_EQ(object->castsShadow, 0);
    EXPECT_EQ(object->binding1, 0);
    EXPECT_EQ(object->mesh, nullptr);
    EXPECT_EQ(object->material, nullptr);
    EXPECT_EQ(object->Body.body, nullptr);
    EXPECT_EQ(object->Body.restitution, 0.0f);
    EXPECT_EQ(object->Body.sizeFactor, 0.0f);
    EXPECT_TRUE(allZero(&object->scale.x, 4));
    // Not listed anywhere: registering needs a mesh and a material, and a frame skips it.
    EXPECT_EQ(KVE_RegisterObject(4321), 0);
    KVE_RenderScene(-1);
    EXPECT_EQ(KVE_ReleaseObject(4321), 1);
    EXPECT_EQ(KVE_GetObject(4321), nullptr);

    int first = -1, again = -1;
    KVE_CreateObjectListEntry(&first, "Bare");
    KVE_CreateObjectListEntry(&again, "Bare");
    EXPECT_EQ(KVE_GetObject(first), nullptr);
    EXPECT_NE(capturedLog().find(logRow("Info: The already existing Object has been replaced!", "#0000FF",
                                        "KVE_CreateObjectListEntry")),
              std::string::npos);
    EXPECT_EQ(KVE_ReleaseObject(again), 1);
}

TEST_F(ListEntries, AMaterialEntryIsZeroWithEmptySlotsWhileCreateMaterialKeepsItsDefaults)
{
    int id = -1;
    KVE_MATERIAL* bare = KVE_CreateMaterialListEntry(&id, "");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->number, id);
    EXPECT_EQ(bare->program, nullptr);
    EXPECT_TRUE(allZero(bare->color, 4));
    EXPECT_TRUE(allZero(bare->shineColor, 4));
    EXPECT_EQ(bare->shine, 0.0f);
    EXPECT_EQ(bare->hardness, 0.0f);
    EXPECT_EQ(bare->refraction, 0.0f);
    EXPECT_EQ(bare->depthMask, 0);
    EXPECT_EQ(bare->backFaceCulling, 0);
    EXPECT_EQ(bare->blendSource, 0);
    EXPECT_EQ(bare->blendDestination, 0);
    for (int slot : bare->textures)
        EXPECT_EQ(slot, kve::gpu::kNoTexture);
    EXPECT_EQ(bare->cubeMap, kve::gpu::kNoTexture);

    KVE_MATERIAL* made = KVE_CreateMaterial(-1, -1, KVE_SHADER_DEFAULT, "");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->color[0], 1.0f);
    EXPECT_EQ(made->shine, 1.0f);
    EXPECT_EQ(made->hardness, 1.0f);
    EXPECT_EQ(made->depthMask, 1);
    EXPECT_EQ(made->backFaceCulling, 1);
    EXPECT_EQ(made->blendSource, 0x302);
    EXPECT_EQ(made->blendDestination, 0x303);
    KVE_ReleaseMaterial(id);
    KVE_ReleaseMaterial(made->number);
}

TEST_F(ListEntries, ASoundEntryIsZeroButASceneItem)
{
    int id = -1;
    KVE_SOUND* sound = KVE_CreateSoundListEntry(&id, "Silent");
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(KVE_GetSound(id), sound);
    EXPECT_EQ(sound->item.kind, KVE_ITEM_SOUND);
    EXPECT_EQ(sound->item.fullMatrix, &sound->matrix);
    EXPECT_EQ(sound->volume, 0.0f);
    EXPECT_EQ(sound->frequency, 0.0f);
    EXPECT_TRUE(allZero(&sound->direction.x, 4));
    KVE_UpdateSounds(); // nothing to play: no clip
    KVE_FreeSound(id);
    EXPECT_EQ(KVE_GetSound(id), nullptr);
}

} // namespace
