// Helpers shared by the definition suites: a compact text form of a tree and a fixture
// that frees every tree after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "defs/definition_node.h"
#include "kve.h"

namespace kve::test {

// "name:value" per node, children of a group in braces, siblings separated by '|'; the
// root itself is left out. Also checks every child's parent link and position.
inline std::string dumpChildren(const DefinitionNode* node);

inline std::string dumpNode(const DefinitionNode* node)
{
    std::string text = std::string(node->name) + ":" + node->value;
    if (node->group) {
        text += '{';
        text += dumpChildren(node);
        text += '}';
    }
    return text;
}

inline std::string dumpChildren(const DefinitionNode* node)
{
    std::string text;
    for (const DefinitionNode* child : node->childNodes()) {
        EXPECT_EQ(child->parent, node) << child->name;
        EXPECT_EQ(node->children[child->position], child) << child->name;
        if (!text.empty())
            text += '|';
        text += dumpNode(child);
    }
    return text;
}

// The tree parsed from `text`, as dumpChildren gives it.
inline std::string parsed(const std::string& text)
{
    DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), "");
    return root ? dumpChildren(root) : "<none>";
}

class DefinitionTest : public ::testing::Test {
protected:
    void TearDown() override { kve::defs::freeAllDefinitions(); }

    DefinitionNode* parse(const std::string& text, const char* directory = "")
    {
        return KVE_ParseDefinitionText(text.c_str(), directory);
    }
};

} // namespace kve::test
