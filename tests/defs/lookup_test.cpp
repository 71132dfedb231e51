#include <string>
#include <vector>

#include "definition_testing.h"
#include "defs/definition_node.h"

namespace {

using LookupTest = kve::test::DefinitionTest;

constexpr const char* kNested = "Top: 1;\n"
                                "Outer: {\n"
                                "  Emission: { Size: 1, 2, 3; }\n"
                                "  Texture: Wood { File: wood.png; }\n"
                                "}\n"
                                "Emission: { Size: 9; }\n"
                                "Texture: Stone { File: stone.png; }\n";

const char* valueAt(DefinitionNode* start, const char* path, const char* value = "", int fallback = 0)
{
    return KVE_GetDefinitionString(KVE_FindDefinitionNode(start, path, value, fallback), "<none>");
}

TEST_F(LookupTest, DirectPathsFollowExactNamesFromTheStart)
{
    DefinitionNode* root = parse(kNested);
    EXPECT_STREQ(valueAt(root, "\\Top"), "1");
    EXPECT_STREQ(valueAt(root, "\\Emission\\Size"), "9") << "the root's own Emission, not the nested one";
    EXPECT_STREQ(valueAt(root, "\\Outer\\Texture\\File"), "wood.png");
    EXPECT_STREQ(valueAt(root, "\\top"), "<none>") << "names are case-sensitive";
    EXPECT_STREQ(valueAt(root, "\\Outer\\Size"), "<none>") << "a direct step does not search deeper";
    EXPECT_EQ(KVE_FindDefinitionNode(root, "\\Missing", "", 1), root) << "fallback gives the start";
    EXPECT_EQ(KVE_FindDefinitionNode(root, "", "", 0), root);
    EXPECT_EQ(KVE_FindDefinitionNode(nullptr, "\\Top", "", 1), nullptr);
}

TEST_F(LookupTest, DeepPathsSearchDepthFirstInFileOrder)
{
    DefinitionNode* root = parse(kNested);
    EXPECT_STREQ(valueAt(root, "Emission\\Size"), "1, 2, 3") << "the first Emission in file order";
    EXPECT_STREQ(valueAt(root, "Size"), "1, 2, 3");
    EXPECT_STREQ(valueAt(root, "Texture"), "Wood");
    EXPECT_STREQ(valueAt(KVE_FindDefinitionNode(root, "Texture", "Stone", 0), "\\File"), "stone.png");
    EXPECT_STREQ(valueAt(root, "Texture", "Brick"), "<none>");
    EXPECT_EQ(KVE_FindDefinitionNode(root, "Texture", "Brick", 1), root);

    // A start node that itself carries the name is the result; the rest of the path is
    // not consulted (a loader handed the Texture node itself finds it this way).
    DefinitionNode* emission = KVE_FindDefinitionNode(root, "\\Emission", "", 0);
    EXPECT_EQ(KVE_FindDefinitionNode(emission, "Emission\\Size", "", 0), emission);
    DefinitionNode* stone = KVE_FindDefinitionNode(root, "Texture", "Stone", 0);
    EXPECT_EQ(KVE_FindDefinitionNode(stone, "Texture", "Stone", 1), stone);
    EXPECT_EQ(KVE_FindDefinitionNode(stone, "Texture", "Wood", 0), nullptr);
}

TEST_F(LookupTest, FirstChildOfANameWinsAndFreeingItPromotesTheNext)
{
    // A small node is searched in place, a large one through its name index: both must
    // agree, also after a child is freed.
    for (const int fillers : {0, 40}) {
        std::string text = "A: 1; B: x; A: 2;";
        for (int i = 0; i < fillers; ++i)
            text += " K" + std::to_string(i) + ": " + std::to_string(i) + ";";
        DefinitionNode* root = parse(text);
        SCOPED_TRACE(fillers);
        EXPECT_STREQ(valueAt(root, "\\A"), "1");
        EXPECT_EQ(KVE_CountDefinitionChildren(root, "A"), 2);
        EXPECT_EQ(KVE_CountDefinitionChildren(root, ""), 3 + fillers);
        if (fillers) {
            EXPECT_STREQ(valueAt(root, "\\K37"), "37");
        }

        DefinitionNode* first = KVE_FindDefinitionNode(root, "\\A", "", 0);
        EXPECT_EQ(KVE_FreeDefinition(first, 0), root);
        EXPECT_STREQ(valueAt(root, "\\A"), "2");
        EXPECT_EQ(KVE_CountDefinitionChildren(root, "A"), 1);
        EXPECT_EQ(KVE_FreeDefinition(first, 0), nullptr) << "freeing the same node again does nothing";
        EXPECT_EQ(kve::test::dumpChildren(root).substr(0, 7), "B:x|A:2");

        KVE_FreeDefinition(KVE_FindDefinitionNode(root, "\\A", "", 0), 0);
        EXPECT_STREQ(valueAt(root, "\\A"), "<none>");
    }
}

TEST_F(LookupTest, ChildrenBySignedIndexAndSiblings)
{
    DefinitionNode* root = parse("L: a, b, c;");
    DefinitionNode* list = root->children[0];
    EXPECT_STREQ(KVE_GetDefinitionString(KVE_GetDefinitionChild(list, 0), ""), "a");
    EXPECT_STREQ(KVE_GetDefinitionString(KVE_GetDefinitionChild(list, 2), ""), "c");
    EXPECT_STREQ(KVE_GetDefinitionString(KVE_GetDefinitionChild(list, -1), ""), "c");
    EXPECT_STREQ(KVE_GetDefinitionString(KVE_GetDefinitionChild(list, -3), ""), "a");
    EXPECT_EQ(KVE_GetDefinitionChild(list, 3), nullptr);
    EXPECT_EQ(KVE_GetDefinitionChild(list, -4), nullptr);
    EXPECT_EQ(KVE_GetDefinitionChild(nullptr, 0), nullptr);

    std::string walked;
    for (DefinitionNode* child = KVE_GetDefinitionChild(list, 0); child; child = KVE_NextDefinitionSibling(child))
        walked += child->value;
    EXPECT_EQ(walked, "abc");
    EXPECT_EQ(KVE_NextDefinitionSibling(root), nullptr);

    KVE_FreeDefinition(KVE_GetDefinitionChild(list, 1), 0);
    EXPECT_EQ(KVE_NextDefinitionSibling(KVE_GetDefinitionChild(list, 0)), KVE_GetDefinitionChild(list, -1));
    EXPECT_EQ(KVE_CountDefinitionChildren(nullptr, ""), 0);
}

TEST_F(LookupTest, FreeingTreesAndTheirDirectories)
{
    DefinitionNode* root = parse("A: { B: { C: 1; } }", "data\\meshes\\\\");
    DefinitionNode* deep = KVE_FindDefinitionNode(root, "C", "", 0);
    EXPECT_STREQ(KVE_GetDefinitionDirectory(deep), "data\\meshes\\") << "one trailing separator";
    EXPECT_STREQ(KVE_GetDefinitionDirectory(parse("", "data")), "data/");
    EXPECT_STREQ(KVE_GetDefinitionDirectory(parse("", "")), "");
    EXPECT_STREQ(KVE_GetDefinitionDirectory(nullptr), "");
    EXPECT_EQ(kve::defs::definitionTreeCount(), 3u);

    // A freed subtree no longer belongs to the file.
    DefinitionNode* b = KVE_FindDefinitionNode(root, "B", "", 0);
    EXPECT_EQ(KVE_FreeDefinition(b, 0), root->children[0]);
    EXPECT_STREQ(KVE_GetDefinitionDirectory(b->children[0]), "");
    EXPECT_EQ(KVE_FreeDefinition(b->children[0], 1), nullptr);
    EXPECT_EQ(kve::defs::definitionTreeCount(), 3u) << "a detached subtree frees no tree";

    EXPECT_EQ(KVE_FreeDefinition(root->children[0], 1), nullptr);
    EXPECT_EQ(kve::defs::definitionTreeCount(), 2u);
}

struct LoaderCall {
    char kind;
    int id;
    const DefinitionNode* node;
    std::string name;
};

std::vector<LoaderCall> calls;

template <char Kind> void* recordCall(int id, DefinitionNode* node, const char* name)
{
    calls.push_back({Kind, id, node, name});
    return node;
}

class DispatchTest : public kve::test::DefinitionTest {
protected:
    void SetUp() override
    {
        calls.clear();
        kve::defs::definitionLoaders() = {&recordCall<'T'>, &recordCall<'M'>, &recordCall<'S'>};
    }
    void TearDown() override
    {
        kve::defs::definitionLoaders() = {};
        kve::test::DefinitionTest::TearDown();
    }
    std::string kinds() const
    {
        std::string text;
        for (const LoaderCall& call : calls)
            text += std::string(1, call.kind) + call.name + " ";
        return text;
    }
};

constexpr const char* kResources = "Texture: Wood { File: wood.png; }\n"
                                   "Material: Floor { Texture: Inner { File: x.png; } }\n"
                                   "Group: { Sound: Hiss { File: hiss.ogg; } Texture: Deep { } }\n";

TEST_F(DispatchTest, EachKindGoesToItsLoaderWhenItsBitIsSet)
{
    DefinitionNode* root = parse(kResources);
    void* last = KVE_LoadDefinitionNode(root, KVE_DEFINITION_ALL);
    EXPECT_EQ(kinds(), "TWood MFloor S TDeep ") << "a Material block is not descended into";
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].id, KVE_AUTO_ID);
    EXPECT_EQ(calls[0].node, root->children[0]);
    EXPECT_EQ(last, calls.back().node) << "the last loader's result";

    calls.clear();
    KVE_LoadDefinitionNode(root, KVE_DEFINITION_TEXTURE | 4);
    EXPECT_EQ(kinds(), "TWood TDeep ") << "a Material block is skipped whole, even without its bit";
    calls.clear();
    KVE_LoadDefinitionNode(root, KVE_DEFINITION_SOUND);
    EXPECT_EQ(kinds(), "S ");

    calls.clear();
    kve::defs::definitionLoaders().texture = nullptr;
    EXPECT_EQ(KVE_LoadDefinitionNode(root->children[0], KVE_DEFINITION_ALL), nullptr);
    EXPECT_EQ(KVE_LoadDefinitionNode(nullptr, KVE_DEFINITION_ALL), nullptr);
    EXPECT_TRUE(calls.empty());
}

} // namespace
