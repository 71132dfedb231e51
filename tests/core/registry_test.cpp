#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/registry.h"
#include "core/registry_kinds.h"
#include "kve.h"
#include "support/log_capture.h"

namespace {

namespace kinds = kve::core::kinds;
using kve::core::Registry;
using kve::core::RegistryKind;

// Stand-ins for three kinds' records: the registry's two members and some fields of their own.
struct TextureRecord {
    int number;
    const char* name;
    unsigned glName;
    int width, height;
    static constexpr const RegistryKind& kKind = kinds::kTexture;
};

struct NodeRecord {
    int number;
    const char* name;
    float position[4];
    static constexpr const RegistryKind& kKind = kinds::kNode;
};

struct MaterialRecord {
    int number;
    const char* name;
    int color;
    int textures[4];
    static constexpr const RegistryKind& kKind = kinds::kMaterial;
};

template <class Record>
class RegistryTest : public kve::test::LogCaptureTest {
protected:
    // The release records each released entry's number; a marker field tells records apart.
    Registry<Record> registry{Record::kKind, [this](Record& record) { released.push_back(record.number); }};
    std::vector<int> released;

    Record* create(int number, const char* name = "")
    {
        int id = number;
        Record* record = registry.create(&id, name);
        if (record) {
            EXPECT_EQ(record->number, id);
        }
        return record;
    }

    static std::string doubleRow() { return logRow(Record::kKind.doubleMessage, "#0000FF", Record::kKind.creator); }
    static std::string refusedRow()
    {
        return logRow("Fail: This ID is not available!", "#FF0000", Record::kKind.creator);
    }
};

using RecordTypes = ::testing::Types<TextureRecord, NodeRecord, MaterialRecord>;
TYPED_TEST_SUITE(RegistryTest, RecordTypes);

TYPED_TEST(RegistryTest, SameNumberTwiceReleasesTheFirstSilently)
{
    TypeParam* first = this->create(5);
    ASSERT_NE(first, nullptr);
    TypeParam* second = this->create(5);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(this->released, std::vector<int>{5});
    EXPECT_EQ(this->registry.size(), 1u);
    EXPECT_EQ(this->registry.find(5), second);
    EXPECT_EQ(this->registry.tableSize(), 6u) << "the table grows to the highest number + 1";
    EXPECT_EQ(this->capturedLog(), "");
}

TYPED_TEST(RegistryTest, SameNameTwiceLogsTheKindsNoticeAndKeepsOnlyTheSecond)
{
    TypeParam* first = this->create(-1, "rock");
    ASSERT_NE(first, nullptr);
    const int firstNumber = first->number;
    TypeParam* second = this->create(-1, "rock");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(this->capturedLog(), this->doubleRow());
    EXPECT_EQ(this->released, std::vector<int>{firstNumber});
    EXPECT_EQ(this->registry.findByName("rock"), second);
    EXPECT_STREQ(second->name, "rock");
    EXPECT_EQ(this->registry.find(firstNumber), nullptr);
    EXPECT_EQ(this->registry.size(), 1u);

    // The name step and the number step may each release an entry: "wood" in slot 3 and
    // another entry in slot 7 both go when a new "wood" takes number 7.
    this->released.clear();
    this->create(3, "wood");
    this->create(7, "other");
    TypeParam* third = this->create(7, "wood");
    EXPECT_EQ(this->released, (std::vector<int>{3, 7}));
    EXPECT_EQ(this->registry.find(3), nullptr);
    EXPECT_EQ(this->registry.find(7), third);
    EXPECT_EQ(this->registry.findByName("other"), nullptr);
    EXPECT_EQ(this->capturedLog(), this->doubleRow() + this->doubleRow()) << "one notice per name, none per number";
}

TYPED_TEST(RegistryTest, OnlyMinusOneAndZeroTo65535AreAccepted)
{
    ASSERT_NE(this->create(65535), nullptr);
    EXPECT_EQ(this->registry.tableSize(), 65536u);
    TypeParam* named = this->create(0, "keep");
    ASSERT_NE(named, nullptr);

    for (int refused : {65536, -2, INT_MIN, INT_MAX, 0x10005}) {
        int id = refused;
        EXPECT_EQ(this->registry.create(&id, "keep"), nullptr) << refused;
        EXPECT_EQ(id, refused) << "the caller's number is left alone";
    }
    EXPECT_EQ(this->capturedLog(),
              this->refusedRow() + this->refusedRow() + this->refusedRow() + this->refusedRow() + this->refusedRow());
    // A refused creation changes nothing, not even the entry holding the name it asked for.
    EXPECT_TRUE(this->released.empty());
    EXPECT_EQ(this->registry.findByName("keep"), named);
    EXPECT_EQ(this->registry.size(), 2u);
    EXPECT_EQ(this->registry.tableSize(), 65536u);
}

TYPED_TEST(RegistryTest, AutomaticNumbersResolveAndAreNeverReused)
{
    for (int explicitNumber : {0, 1, 2, 100})
        this->create(explicitNumber);
    std::vector<int> automatic;
    for (int i = 0; i < 4; ++i) {
        TypeParam* record = this->create(-1);
        ASSERT_NE(record, nullptr);
        EXPECT_GE(record->number, 65536);
        EXPECT_EQ(this->registry.find(record->number), record);
        automatic.push_back(record->number);
    }
    EXPECT_EQ(this->registry.tableSize(), 101u) << "automatic numbers take no table slots";
    EXPECT_EQ(this->registry.find(100)->number, 100);

    this->registry.release(this->registry.find(automatic[1]));
    EXPECT_EQ(this->registry.find(automatic[1]), nullptr);
    TypeParam* later = this->create(-1);
    ASSERT_NE(later, nullptr);
    for (int old : automatic)
        EXPECT_NE(later->number, old);
    EXPECT_EQ(this->registry.find(automatic[1]), nullptr) << "a released number stays dead";
    EXPECT_EQ(this->registry.find(automatic[2])->number, automatic[2]);

    // A null number variable asks for an automatic number too.
    TypeParam* unnumbered = this->registry.create(nullptr, "");
    ASSERT_NE(unnumbered, nullptr);
    EXPECT_GE(unnumbered->number, 65536);
}

TYPED_TEST(RegistryTest, EmptyNameIsNeverFoundAndNeverReplaces)
{
    TypeParam* named = this->create(-1, "x");
    this->create(-1, "");
    this->create(-1, "");
    EXPECT_EQ(this->registry.findByName(""), nullptr);
    EXPECT_EQ(this->registry.findByName("x"), named);
    EXPECT_EQ(this->registry.findByName("X"), nullptr) << "names are compared exactly";
    EXPECT_EQ(this->registry.size(), 3u);
    EXPECT_TRUE(this->released.empty());
    EXPECT_EQ(this->capturedLog(), "");
}

TYPED_TEST(RegistryTest, ReleaseFreesExactlyOneEntry)
{
    TypeParam* a = this->create(4, "a");
    TypeParam* b = this->create(9, "b");
    TypeParam* c = this->create(-1, "c");
    const int cNumber = c->number;
    this->registry.release(b);
    EXPECT_EQ(this->released, std::vector<int>{9});
    EXPECT_EQ(this->registry.size(), 2u);
    EXPECT_EQ(this->registry.find(9), nullptr);
    EXPECT_EQ(this->registry.findByName("b"), nullptr);
    EXPECT_EQ(this->registry.find(4), a);
    EXPECT_EQ(this->registry.find(cNumber), c);
    EXPECT_EQ(this->registry.findByName("a"), a);

    // Records this registry does not hold are ignored.
    this->registry.release(nullptr);
    TypeParam stranger{};
    stranger.number = 4;
    this->registry.release(&stranger);
    EXPECT_EQ(this->registry.size(), 2u);
    EXPECT_EQ(this->released.size(), 1u);

    // A new "b" is not refused or logged: the released one's name is free again.
    EXPECT_NE(this->create(-1, "b"), nullptr);
    EXPECT_EQ(this->capturedLog(), "");
}

TYPED_TEST(RegistryTest, NewRecordsStartZeroFilled)
{
    // The kind's own fields: everything after the registry's number and name.
    const auto ownBytes = [](TypeParam* record) {
        constexpr size_t start = offsetof(TypeParam, name) + sizeof(const char*);
        return std::span(reinterpret_cast<unsigned char*>(record) + start, sizeof(TypeParam) - start);
    };
    std::ranges::fill(ownBytes(this->create(2, "z")), 0xAB);
    TypeParam* again = this->create(2);
    EXPECT_TRUE(std::ranges::all_of(ownBytes(again), [](unsigned char b) { return b == 0; }));
    EXPECT_STREQ(again->name, "");
}

TYPED_TEST(RegistryTest, LookupBeyondTheTableOrOfEmptySlotsFindsNothing)
{
    this->create(10);
    for (int number : {0, 9, 11, 65535, -1, -7, 65536, INT_MAX})
        EXPECT_EQ(this->registry.find(number), nullptr) << number;
    EXPECT_EQ(this->registry.tableSize(), 11u);
}

class RegistryMechanics : public kve::test::LogCaptureTest {};

TEST_F(RegistryMechanics, SilentKindsLogNothing)
{
    Registry<NodeRecord> lights{kinds::kSilent};
    int id = 70000;
    EXPECT_EQ(lights.create(&id, ""), nullptr);
    id = -1;
    lights.create(&id, "same");
    id = -1;
    lights.create(&id, "same");
    EXPECT_EQ(lights.size(), 1u);
    EXPECT_EQ(capturedLog(), "");
}

TEST_F(RegistryMechanics, DiscardSkipsTheReleaseAndReleaseAllFollowsCreationOrder)
{
    std::vector<int> released;
    Registry<TextureRecord> textures{kinds::kTexture, [&](TextureRecord& t) { released.push_back(t.number); }};
    int ids[4] = {8, -1, 3, -1};
    TextureRecord* records[4];
    for (int i = 0; i < 4; ++i)
        records[i] = textures.create(&ids[i], "");
    textures.discard(records[0]);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(textures.find(8), nullptr);

    std::vector<int> visited;
    textures.forEach([&](const TextureRecord& t) { visited.push_back(t.number); });
    EXPECT_EQ(visited, (std::vector<int>{ids[1], 3, ids[3]}));
    textures.releaseAll();
    EXPECT_EQ(released, visited);
    EXPECT_EQ(textures.size(), 0u);
}

} // namespace
