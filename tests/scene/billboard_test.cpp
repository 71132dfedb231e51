#include <gtest/gtest.h>

#include <string>

#include "core/log.h"
#include "kve.h"
#include "scene/animation.h"
#include "scene/billboard.h"
#include "support/test_files.h"

namespace {

constexpr const char* kLogPath = "billboard_test.html";

class MinorKinds : public ::testing::Test {
protected:
    void SetUp() override
    {
        kve::log::resetForTesting();
        ASSERT_EQ(KVE_OpenLogFile(kLogPath, 1, 1), 1);
        KVE_SetLogColumns(KVE_LOG_PROCEDURE);
    }
    void TearDown() override
    {
        kve::scene::billboards().releaseAll();
        kve::scene::animations().releaseAll();
        kve::scene::skeletons().releaseAll();
        kve::log::resetForTesting();
    }
    static std::string log() { return kve::test::readFile(kLogPath); }
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

std::string row(const std::string& message, const std::string& color, const std::string& procedure)
{
    return "<tr><td>\x95</td><td>" + procedure + "</td><td colspan=2><i style='color:" + color + ";'>" + message +
           "</i></td></tr>";
}

TEST_F(MinorKinds, BillboardAnimationAndSkeletonRegistries)
{
    checkKind(KVE_CreateBillboardListEntry, KVE_ReleaseBillboard, kve::scene::billboards());
    checkKind(KVE_CreateAnimationListEntry, KVE_ReleaseAnimation, kve::scene::animations());
    checkKind(KVE_CreateSkeletonListEntry, KVE_ReleaseSkeleton, kve::scene::skeletons());
    const std::string refused = "Fail: This ID is not available!";
    EXPECT_EQ(log(), row("Loaded double: First Billboard has been released!", "#0000FF",
                         "KVE_CreateBillboardListEntry") +
                         row(refused, "#FF0000", "KVE_CreateBillboardListEntry") +
                         row("Info: The already existing Animation has been replaced!", "#0000FF",
                             "KVE_CreateAnimationListEntry") +
                         row(refused, "#FF0000", "KVE_CreateAnimationListEntry") +
                         row("Info: The already existing Skeleton has been replaced!", "#0000FF",
                             "KVE_CreateSkeletonListEntry") +
                         row(refused, "#FF0000", "KVE_CreateSkeletonListEntry"));
}

} // namespace
