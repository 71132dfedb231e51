#include <string>

#include "definition_testing.h"
#include "defs/definition_node.h"

namespace {

using kve::test::dumpChildren;
using kve::test::parsed;
using ParserTest = kve::test::DefinitionTest;

TEST_F(ParserTest, ExampleTextGivesTheDescribedTree)
{
    DefinitionNode* root = parse("Texture: Wood { File: wood.png; Filter: LINEAR; Mipmaps: true; }\n"
                                 "Texture: Stone { File: 'C:\\Data\\stone.png'; }\n"
                                 "Material: Floor {\n"
                                 "  Color: 255, 200, 160;        // a list of three integers\n"
                                 "  Shader: TEXTURED;\n"
                                 "}\n"
                                 "ParticleEmitter: Smoke {\n"
                                 "  Emission: { Size: 1, 1, 1; }\n"
                                 "}\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->group, 1);
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(dumpChildren(root), "Texture:Wood{File:wood.png|Filter:LINEAR|Mipmaps:true}"
                                  "|Texture:Stone{File:C:\\Data\\stone.png}"
                                  "|Material:Floor{Color:255, 200, 160{:255|:200|:160}|Shader:TEXTURED}"
                                  "|ParticleEmitter:Smoke{Emission:{Size:1, 1, 1{:1|:1|:1}}}");
    EXPECT_EQ(root->children[0]->children[0]->group, 0) << "a key/value leaf is no group";

    DefinitionNode* stone = KVE_FindDefinitionNode(root, "Texture", "Stone", 0);
    ASSERT_EQ(stone, root->children[1]);
    EXPECT_STREQ(KVE_GetDefinitionString(KVE_FindDefinitionNode(stone, "\\File", "", 0), ""), "C:\\Data\\stone.png");
}

TEST_F(ParserTest, EntriesEndAtSemicolonOrLineEndAndAreTrimmed)
{
    EXPECT_EQ(parsed("A: 1; B: 2\nC: 3"), "A:1|B:2|C:3");
    EXPECT_EQ(parsed("Word;"), ":Word") << "an entry without ':' is a bare word";
    EXPECT_EQ(parsed("  A \t: \t1 \r\nB:\x01 2\x1f\r\n"), "A:1|B:2") << "bytes 1..32 and the CR of CR LF are trimmed";
    EXPECT_EQ(parsed("A: \xA0x\xA0;"), "A:\xA0x\xA0") << "bytes above 127 stay";
    EXPECT_EQ(parsed("A: ;B:\nC: '';D: '  ';"), "") << "empty values, quoted or not, create nothing";
}

TEST_F(ParserTest, SecondColonOfAnEntryMakesTheTextBetweenTheName)
{
    DefinitionNode* root = parse("File: C:\\Data\\stone.png;");
    ASSERT_EQ(root->childCount, 1u);
    EXPECT_STREQ(root->children[0]->name, "C");
    EXPECT_STREQ(root->children[0]->value, "\\Data\\stone.png");
}

TEST_F(ParserTest, BlocksTakeTheNameAndTheTextBeforeTheBrace)
{
    EXPECT_EQ(parsed("Word Two { A: 1 }"), ":Word Two{A:1}");
    EXPECT_EQ(parsed("{ }"), ":{}") << "a block node is made even with no name and no value";
    EXPECT_EQ(parsed("Emission: { }"), "Emission:{}");
    EXPECT_EQ(parsed("A: { B: { C: 1; } D: 2 } E: 3"), "A:{B:{C:1}|D:2}|E:3");
    EXPECT_EQ(parsed("A: { B: { C: 1"), "A:{B:{C:1}}") << "the end closes every block; the innermost commits";
}

TEST_F(ParserTest, ListsMakeUnnamedElementsAndKeepTheirText)
{
    EXPECT_EQ(parsed("L: 1,, ,2,;"), "L:1,, ,2,{:1|:2}") << "empty elements are skipped";
    EXPECT_EQ(parsed("Size: 1, b: 2;"), "Size:1, b: 2{:1|b:2}");
    EXPECT_EQ(parsed("L: 1, 2\n3;"), "L:1, 2{:1|:2}|:3") << "a list cannot span lines";
    EXPECT_EQ(parsed("B: { L: 1, 2 } C: 3"), "B:{L:1, 2{:1|:2}}|C:3") << "the '}' ending a list closes its block";
    EXPECT_EQ(parsed("L: 1, 2"), "L:1, 2{:1|:2}") << "the end of the text ends a list";
    EXPECT_EQ(parsed("V: 1, 2\r\nW: 3;"), "V:1, 2{:1|:2}|W:3");

    DefinitionNode* root = parse("L: 'a,b', c;");
    DefinitionNode* list = root->children[0];
    ASSERT_EQ(list->childCount, 2u);
    EXPECT_EQ(list->group, 1);
    EXPECT_STREQ(list->children[0]->value, "a,b");
    EXPECT_STREQ(list->children[1]->value, "c");
}

TEST_F(ParserTest, QuotedTextIsLiteral)
{
    EXPECT_EQ(parsed("File: 'a:b;c{d}e/f//g\nh';"), "File:a:b;c{d}e/f//g\nh");
    EXPECT_EQ(parsed("'a:b': c;"), "a:b:c") << "a quoted name";
    EXPECT_EQ(parsed("A: junk 'v' more;"), "A:v") << "text before the quote is dropped, text after it ignored";
    EXPECT_EQ(parsed("A: 1; B: 'open\nC: 3;"), "A:1") << "an unterminated quote ends the parse";
}

TEST_F(ParserTest, CommentsInEveryPosition)
{
    EXPECT_EQ(parsed("/* header */\nA: 1; // trailing\n// whole line\nB: /* inline */ 2;"), "A:1|B:2");
    EXPECT_EQ(parsed("A: 1 // no semicolon\nB: 2;"), "1:2") << "the pending value becomes the next name";
    EXPECT_EQ(parsed("A: 'v' // note\nB: 1;"), "B:1") << "a quoted value followed by a comment is lost";
    EXPECT_EQ(parsed("A: 1 // at the end"), "A:1");
    EXPECT_EQ(parsed("P: a/b;"), "P:a/b");
    EXPECT_EQ(parsed("A: 1; /*/ B: 2; */ C: 3;"), "A:1|C:3") << "'/*/' does not close the comment";
    EXPECT_EQ(parsed("A: 1; /* x *//B: 2;"), "A:1|/B:2") << "the '/' closing a comment starts nothing";
    EXPECT_EQ(parsed("A: 1; /* open\nB: 2;"), "A:1");
    EXPECT_EQ(parsed("A: 1 /* open"), "") << "an unterminated comment drops the pending entry";
}

TEST_F(ParserTest, StrayClosingBraceEndsTheText)
{
    EXPECT_EQ(parsed("A: 1; } B: 2;"), "A:1");
    EXPECT_EQ(parsed("A: 1, 2 } B: 3"), "A:1, 2{:1|:2}");
}

TEST_F(ParserTest, TextEndsAtTheFirstNulByte)
{
    const std::string text("A: 1;\0B: 2;", 11);
    DefinitionNode* root = kve::defs::parseText(text, "");
    EXPECT_EQ(dumpChildren(root), "A:1");
}

TEST_F(ParserTest, MillionNestedBlocksNeedNoCallStack)
{
    constexpr int kDepth = 1'000'000;
    DefinitionNode* open = parse(std::string(kDepth, '{') + "A: 1");
    int depth = 0;
    const DefinitionNode* node = open;
    while (node->childCount > 0 && node->children[0]->group) {
        node = node->children[0];
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_STREQ(KVE_GetDefinitionString(KVE_FindDefinitionNode(open, "A", "", 0), ""), "1");
    EXPECT_EQ(KVE_FindDefinitionNode(open, "Missing", "", 0), nullptr);
    EXPECT_EQ(KVE_LoadDefinitionNode(open, KVE_DEFINITION_ALL), nullptr);

    DefinitionNode* closed = parse(std::string(kDepth, '{') + std::string(kDepth, '}') + "B: 2;");
    ASSERT_EQ(closed->childCount, 2u);
    EXPECT_STREQ(closed->children[1]->name, "B");

    KVE_FreeDefinition(const_cast<DefinitionNode*>(node), 1);
    EXPECT_EQ(kve::defs::definitionTreeCount(), 1u);
}

} // namespace

namespace {

TEST_F(ParserTest, TextsCutInsideABlockCommentOrQuoteAreMarked)
{
    // Cut: an open block (also with a list or a line comment inside), a block comment, a quote.
    for (const char* text : {"Mesh: A { Vertices: 2 {\n0,0,0\n1,0", "A { B: 1; // note", "A: 1; /* note",
                             "A: 'open quote", "A { B { }"})
        EXPECT_TRUE(kve::defs::endedInsideBlock(parse(text))) << text;
    // Whole: closed blocks, a list or a line comment at the end of the top level.
    for (const char* text : {"", "A { B: 1; }\n", "A: 1, 2, 3", "A { } // last words", "A: 'x'; /* c */"})
        EXPECT_FALSE(kve::defs::endedInsideBlock(parse(text))) << text;
}

} // namespace
