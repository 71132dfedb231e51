// Staged creation, as the resource reload uses it: the new version of a resource is made
// beside the live one without taking over its number or name.
#include <gtest/gtest.h>

#include <string>

#include "core/registry.h"
#include "core/registry_kinds.h"
#include "core/resource_sources.h"

namespace {

using kve::core::Registry;
using kve::core::StagingScope;

struct Record {
    int number;
    const char* name;
    int released;
};

TEST(Staging, StagedRecordsTakeNoNumberOrNameInUseAndSettleOnlyIntoAFreeName)
{
    int releases = 0;
    Registry<Record> registry(kve::core::kinds::kSilent, [&](Record&) { ++releases; });
    int number = 7;
    Record* live = registry.create(&number, "Floor");
    Record* staged = nullptr;
    {
        StagingScope staging;
        int wanted = 7;
        staged = registry.create(&wanted, "Floor");
        ASSERT_NE(staged, nullptr);
        EXPECT_GE(wanted, kve::core::kFirstAutomaticNumber);
        EXPECT_STREQ(staged->name, "Floor");
    }
    EXPECT_EQ(releases, 0);
    EXPECT_EQ(registry.find(7), live);
    EXPECT_EQ(registry.findByName("Floor"), live);
    EXPECT_EQ(registry.find(staged->number), staged);

    // Releasing the staged record leaves the live one's number and name alone.
    registry.settle(staged); // the name is held: nothing changes
    registry.release(staged);
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(registry.findByName("Floor"), live);
    EXPECT_EQ(registry.find(7), live);

    // Outside a scope creation replaces again; a staged record settles into a free name.
    Record* other = nullptr;
    {
        StagingScope staging;
        other = registry.create(nullptr, "Wall");
    }
    EXPECT_EQ(registry.findByName("Wall"), nullptr);
    registry.settle(other);
    EXPECT_EQ(registry.findByName("Wall"), other);
    number = 7;
    registry.create(&number, "");
    EXPECT_EQ(releases, 2);
}

TEST(Staging, SourcesAreRecordedPerRecordAndNotWhileStaging)
{
    using kve::core::ResourceLoader;
    auto& sources = kve::core::resourceSources();
    sources.clear();
    int a = 0, b = 0;
    kve::core::recordResourceSource(ResourceLoader::TextureFile, 1, &a, "a.png", {}, {}, 0x2601, 2);
    kve::core::recordResourceSource(ResourceLoader::MeshFile, 2, &b, "b.kvm");
    kve::core::recordResourceSource(ResourceLoader::TextureFile, 1, &a, "c.png");
    kve::core::recordResourceSource(ResourceLoader::MeshFile, 3, &b, ""); // no file: ignored
    {
        StagingScope staging;
        int c = 0;
        kve::core::recordResourceSource(ResourceLoader::Font, 4, &c, "d.tf");
    }
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources.at(&a).file, "c.png");
    EXPECT_EQ(sources.at(&a).options[0], 0);
    EXPECT_EQ(sources.at(&b).number, 2);
    sources.clear();
}

} // namespace
