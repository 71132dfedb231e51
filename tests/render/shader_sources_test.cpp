// The include expansion of the engine's own GLSL sources.
#include <gtest/gtest.h>

#include "render/builtin_programs.h"

namespace {

using kve::render::expandIncludes;

TEST(ShaderSources, IncludeLinesAreReplacedByTheSharedPiece)
{
    const std::string expanded = expandIncludes("#version 330\n#include \"misc_block.glsl\"\nvoid main() {}");
    EXPECT_EQ(expanded.rfind("#version 330\nlayout(std140) uniform Misc\n{\n", 0), 0u) << expanded;
    EXPECT_NE(expanded.find("    float fFar;\n};\nvoid main() {}"), std::string::npos) << expanded;
    EXPECT_EQ(expanded.find("#include"), std::string::npos);
}

TEST(ShaderSources, UnknownOrMalformedIncludesStayForTheCompilerToReport)
{
    for (const std::string source : {"#include \"no_such_piece.glsl\"\nx\n", "#include \"misc_block.glsl\nx\n",
                                     "  #include \"misc_block.glsl\"\n", "plain text without a line end"})
        EXPECT_EQ(expandIncludes(source), source);
    EXPECT_EQ(expandIncludes(""), "");
}

} // namespace
