// Whether a parsed text was complete: the resource reload refuses a definition file cut
// short mid-write, whatever the lenient parser made of it.
#include <gtest/gtest.h>

#include <string>

#include "defs/definition_node.h"
#include "kve.h"

namespace {

bool wellFormed(const std::string& text)
{
    DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), "");
    const bool result = kve::defs::isWellFormed(root);
    KVE_FreeDefinition(root, 1);
    return result;
}

TEST(WellFormed, CompleteTextsPassAndTextsCutShortOrUnbalancedFail)
{
    EXPECT_TRUE(wellFormed(""));
    EXPECT_TRUE(wellFormed("Material: Floor { Color: 1, 2, 3; }\n"));
    EXPECT_TRUE(wellFormed("Material: Floor { Color: 1, 2, 3 }"));
    EXPECT_TRUE(wellFormed("Size: 1, 2, 3"));          // a list ended by the end of the text
    EXPECT_TRUE(wellFormed("A: 1; // comment at the end")); // a line comment needs no line end
    EXPECT_TRUE(wellFormed("File: 'a{b}c'; /* note */"));

    EXPECT_FALSE(wellFormed("Material: Floor { Color: 1, 2, 3;"));
    EXPECT_FALSE(wellFormed("Material: Floor { Sub: { A: 1; }"));
    EXPECT_FALSE(wellFormed("Material: Floor { Color: 1, 2, 3; } }")); // a "}" that closes nothing
    EXPECT_FALSE(wellFormed("File: 'unterminated"));
    EXPECT_FALSE(wellFormed("A: 1; /* unterminated"));
    EXPECT_FALSE(wellFormed("Material: Floor { // cut short"));
}

TEST(WellFormed, ATreeRemembersTheFileItWasReadFrom)
{
    DefinitionNode* parsed = KVE_ParseDefinitionText("A: 1;", "");
    EXPECT_EQ(kve::defs::sourceFileOf(parsed), "");
    KVE_FreeDefinition(parsed, 1);
    EXPECT_EQ(kve::defs::sourceFileOf(nullptr), "");
    EXPECT_FALSE(kve::defs::isWellFormed(nullptr));
}

} // namespace
