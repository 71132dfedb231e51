// Staged creation, as the resource reload uses it: the new version of a resource is made
// beside the live one without taking over its number or name.
#include <gtest/gtest.h>

#include <string>
#include <thread>

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

TEST(Staging, SourcesAreKeyedByKindAndNumberAndForgottenByEveryRelease)
{
    using kve::core::ResourceKind;
    using kve::core::ResourceLoader;
    kve::core::clearResourceSources();
    kve::core::recordResourceSource(ResourceLoader::TextureFile, 1, "a.png", {}, {}, 0x2601, 2);
    kve::core::recordResourceSource(ResourceLoader::MeshFile, 1, "b.kvm");
    kve::core::recordResourceSource(ResourceLoader::TextureFile, 1, "c.png"); // replaces a.png
    kve::core::recordResourceSource(ResourceLoader::MeshFile, 3, "");         // no file: ignored
    {
        StagingScope staging;
        kve::core::recordResourceSource(ResourceLoader::Font, 4, "d.tf");
    }
    ASSERT_EQ(kve::core::resourceSourceCount(), 2u);
    EXPECT_EQ(kve::core::findResourceSource(ResourceKind::Texture, 1)->file, "c.png");
    EXPECT_EQ(kve::core::findResourceSource(ResourceKind::Texture, 1)->options[0], 0);
    EXPECT_EQ(kve::core::findResourceSource(ResourceKind::Mesh, 1)->file, "b.kvm");
    EXPECT_FALSE(kve::core::findResourceSource(ResourceKind::Font, 4));

    // A registry of a kind with sources forgets the source of every record it releases,
    // whichever way the record goes (release, a new record under its number or name).
    struct Texture {
        int number;
        const char* name;
    };
    Registry<Texture> textures(kve::core::kinds::kTexture);
    int number = 1;
    textures.create(&number, "Floor");
    const uint64_t before = kve::core::resourceSourcesRevision();
    number = 1;
    Texture* second = textures.create(&number, ""); // takes number 1 over
    EXPECT_FALSE(kve::core::findResourceSource(ResourceKind::Texture, 1));
    EXPECT_GT(kve::core::resourceSourcesRevision(), before);
    kve::core::recordResourceSource(ResourceLoader::TextureFile, 1, "e.png");
    textures.release(second);
    EXPECT_FALSE(kve::core::findResourceSource(ResourceKind::Texture, 1));
    EXPECT_TRUE(kve::core::findResourceSource(ResourceKind::Mesh, 1)); // another kind, same number
    kve::core::clearResourceSources();
}

TEST(Staging, BelongsToTheThreadThatStages)
{
    using kve::core::ResourceKind;
    using kve::core::ResourceLoader;
    kve::core::clearResourceSources();
    Registry<Record> registry(kve::core::kinds::kSilent);
    int number = 3;
    registry.create(&number, "Stone");
    Record* created = nullptr;
    int given = 3;
    {
        StagingScope staging;
        // Meanwhile another thread loads as usual: its number and name are taken over and
        // its source is recorded.
        std::thread other([&] {
            created = registry.create(&given, "Stone");
            kve::core::recordResourceSource(ResourceLoader::MeshFile, given, "other.kvm");
        });
        other.join();
        EXPECT_TRUE(kve::core::staging());
    }
    EXPECT_EQ(given, 3);
    EXPECT_EQ(registry.find(3), created);
    EXPECT_EQ(registry.findByName("Stone"), created);
    EXPECT_TRUE(kve::core::findResourceSource(ResourceKind::Mesh, 3));
    EXPECT_FALSE(kve::core::staging());
    kve::core::clearResourceSources();
}

} // namespace
