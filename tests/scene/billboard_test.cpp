#include <gtest/gtest.h>

#include <string>

#include "kve.h"
#include "scene/animation.h"
#include "scene/billboard.h"
#include "support/log_capture.h"

namespace {

class MinorKinds : public kve::test::LogCaptureTest {
protected:
    void TearDown() override
    {
        kve::scene::billboards().releaseAll();
        kve::scene::animations().releaseAll();
        kve::scene::skeletons().releaseAll();
        LogCaptureTest::TearDown();
    }
};

// Each kind through its public routines: numbering, its own notice for a reused name,
// release by number.
template <class Record>
void checkKind(Record* (*create)(int*, const char*), void (*release)(int), kve::core::Registry<Record>& registry)
{
    int id = 12;
    Record* first = create(&id, "walk");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(id, 12);
    EXPECT_EQ(registry.find(12), first);
    id = -1;
    Record* second = create(&id, "walk");
    ASSERT_NE(second, nullptr);
    EXPECT_GE(id, 65536);
    EXPECT_EQ(registry.find(12), nullptr) << "the name's older entry was released";
    EXPECT_EQ(registry.findByName("walk"), second);

    int refused = 65536;
    EXPECT_EQ(create(&refused, nullptr), nullptr);
    id = 3;
    EXPECT_NE(create(&id, nullptr), nullptr) << "a null name is an empty one";

    release(12345); // names nothing
    EXPECT_EQ(registry.size(), 2u);
    release(second->number);
    EXPECT_EQ(registry.findByName("walk"), nullptr);
    EXPECT_EQ(registry.size(), 1u);
}

TEST_F(MinorKinds, BillboardAnimationAndSkeletonRegistries)
{
    checkKind(KVE_CreateBillboardListEntry, KVE_ReleaseBillboard, kve::scene::billboards());
    checkKind(KVE_CreateAnimationListEntry, KVE_ReleaseAnimation, kve::scene::animations());
    checkKind(KVE_CreateSkeletonListEntry, KVE_ReleaseSkeleton, kve::scene::skeletons());
    const std::string refused = "Fail: This ID is not available!";
    EXPECT_EQ(
        capturedLog(),
        logRow("Loaded double: First Billboard has been released!", "#0000FF", "KVE_CreateBillboardListEntry") +
            logRow(refused, "#FF0000", "KVE_CreateBillboardListEntry") +
            logRow("Info: The already existing Animation has been replaced!", "#0000FF",
                   "KVE_CreateAnimationListEntry") +
            logRow(refused, "#FF0000", "KVE_CreateAnimationListEntry") +
            logRow("Info: The already existing Skeleton has been replaced!", "#0000FF", "KVE_CreateSkeletonListEntry") +
            logRow(refused, "#FF0000", "KVE_CreateSkeletonListEntry"));
}

} // namespace
