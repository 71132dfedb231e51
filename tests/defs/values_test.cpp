#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "definition_testing.h"
#include "defs/number_text.h"

namespace {

using kve::defs::parseFloatText;
using kve::defs::parseIntegerText;

class ValuesTest : public kve::test::DefinitionTest {
protected:
    // The node of `key` in a text of entries.
    DefinitionNode* node(const std::string& text, const char* key = "\\V")
    {
        return KVE_FindDefinitionNode(parse(text), key, "", 0);
    }
};

TEST(NumberText, IntegersWithKeywordsAndBases)
{
    EXPECT_EQ(parseIntegerText("Enable"), 1);
    EXPECT_EQ(parseIntegerText("TRUE"), 1);
    EXPECT_EQ(parseIntegerText("disable"), 0);
    EXPECT_EQ(parseIntegerText("None"), 0);
    EXPECT_EQ(parseIntegerText("DEFAULT"), -1);
    EXPECT_EQ(parseIntegerText("$1F"), 31);
    EXPECT_EQ(parseIntegerText("$ff"), 255);
    EXPECT_EQ(parseIntegerText("%101"), 5);
    EXPECT_EQ(parseIntegerText("%1012"), 5) << "binary stops at the first other digit";
    EXPECT_EQ(parseIntegerText("12abc"), 12);
    EXPECT_EQ(parseIntegerText(" \t+7"), 7);
    EXPECT_EQ(parseIntegerText("-$10"), -16);
    EXPECT_EQ(parseIntegerText("-"), 0);
    EXPECT_EQ(parseIntegerText("truely"), 0) << "keywords are whole values";
    EXPECT_EQ(parseIntegerText("$FFFFFFFF"), -1) << "hex keeps the bit pattern";
    EXPECT_EQ(parseIntegerText("$1FFFFFFFF"), -1) << "only the low 32 bits";
    EXPECT_EQ(parseIntegerText("2147483647"), INT_MAX);
    EXPECT_EQ(parseIntegerText("99999999999999999999"), INT_MAX) << "decimal saturates";
    EXPECT_EQ(parseIntegerText("-2147483648"), INT_MIN);
    EXPECT_EQ(parseIntegerText("-99999999999"), INT_MIN);
}

TEST(NumberText, FloatsWithoutLocale)
{
    EXPECT_EQ(parseFloatText("1.5"), 1.5f);
    EXPECT_EQ(parseFloatText("-2.25e2"), -225.0f);
    EXPECT_EQ(parseFloatText("+.5"), 0.5f);
    EXPECT_EQ(parseFloatText("5."), 5.0f);
    EXPECT_EQ(parseFloatText("12abc"), 12.0f);
    EXPECT_EQ(parseFloatText("1e"), 1.0f) << "an exponent without digits is not part of the number";
    EXPECT_EQ(parseFloatText("1e+x"), 1.0f);
    EXPECT_EQ(parseFloatText("0.1"), 0.1f) << "rounded to the nearest float";
    EXPECT_EQ(parseFloatText("abc"), 0.0f);
    EXPECT_EQ(parseFloatText("."), 0.0f);
    EXPECT_EQ(parseFloatText("inf"), 0.0f) << "only the whole word Infinity";
    EXPECT_EQ(parseFloatText("0x10"), 0.0f) << "no hexadecimal floats";
    EXPECT_EQ(parseFloatText("+Infinity"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseFloatText("-INFINITY"), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(parseFloatText("nan")));
    EXPECT_TRUE(std::isnan(parseFloatText("NaN")));
    EXPECT_EQ(parseFloatText("1e50"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseFloatText("-1e999999999999"), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseFloatText("0.000001e-50"), 0.0f);
    EXPECT_EQ(parseFloatText("1000000e-60"), 0.0f);
    EXPECT_EQ(parseFloatText("1000000e-50"), 1e-44f) << "subnormal floats are kept";
    EXPECT_EQ(parseFloatText("0.00001e45"), std::numeric_limits<float>::infinity());
}

TEST_F(ValuesTest, ScalarReadersUseTheDefaultOnlyForAnAbsentKey)
{
    EXPECT_STREQ(KVE_GetDefinitionString(node("V: text;"), "d"), "text");
    EXPECT_STREQ(KVE_GetDefinitionString(node("V: ;"), "d"), "d") << "an empty value makes no node";
    EXPECT_EQ(KVE_GetDefinitionInteger(node("V: Enable;"), 7), 1);
    EXPECT_EQ(KVE_GetDefinitionInteger(node("W: 1;"), 7), 7);
    EXPECT_EQ(KVE_GetDefinitionInteger(node("V: words;"), 7), 0);
    EXPECT_EQ(KVE_GetDefinitionFloat(node("V: 2.5;"), 7.0f), 2.5f);
    EXPECT_EQ(KVE_GetDefinitionFloat(nullptr, 7.0f), 7.0f);
}

TEST_F(ValuesTest, VectorsFromListsAndSingleNumbers)
{
    KVE_Vector v{9, 9, 9, 5};
    KVE_GetDefinitionVector(node("V: 2;"), &v, 1, 1, 1);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, -2.0f);
    EXPECT_EQ(v.w, 5.0f) << "w is not part of the reading";

    v = {9, 9, 9, 5};
    KVE_GetDefinitionVector(node("V: 1, 2;"), &v, 0, 0, 0);
    EXPECT_EQ(v.x, 1.0f);
    EXPECT_EQ(v.y, 2.0f);
    EXPECT_EQ(v.z, 9.0f) << "a missing element keeps the previous content";

    KVE_GetDefinitionVector(node("V: -1.5, 2e1, +Infinity, 4;"), &v, 0, 0, 0);
    EXPECT_EQ(v.x, -1.5f);
    EXPECT_EQ(v.y, 20.0f);
    EXPECT_EQ(v.z, std::numeric_limits<float>::infinity());

    KVE_GetDefinitionVector(nullptr, &v, 3, 4, 5);
    EXPECT_EQ(v.x, 3.0f);
    EXPECT_EQ(v.y, 4.0f);
    EXPECT_EQ(v.z, 5.0f);
    KVE_GetDefinitionVector(node("V: 1;"), nullptr, 0, 0, 0);
}

TEST_F(ValuesTest, RangesWithTheDefaultMarker)
{
    float range[2] = {7, 7};
    KVE_GetDefinitionRange(nullptr, range, 2.0f, KVE_DEFAULT_FLOAT);
    EXPECT_EQ(range[0], 2.0f);
    EXPECT_EQ(range[1], 2.0f) << "the marker max means the same as min";
    KVE_GetDefinitionRange(nullptr, range, 2.0f, 3.0f);
    EXPECT_EQ(range[1], 3.0f);
    KVE_GetDefinitionRange(node("V: 4.5;"), range, 0, 0);
    EXPECT_EQ(range[0], 4.5f);
    EXPECT_EQ(range[1], 4.5f);
    KVE_GetDefinitionRange(node("V: 1, 2;"), range, 0, 0);
    EXPECT_EQ(range[0], 1.0f);
    EXPECT_EQ(range[1], 2.0f);
    KVE_GetDefinitionRange(node("V: { A: 6; }"), range, 0, 0);
    EXPECT_EQ(range[0], 6.0f);
    EXPECT_EQ(range[1], 2.0f) << "a missing upper bound keeps the previous content";
}

TEST_F(ValuesTest, ColoursFromListsAndPackedNumbers)
{
    float c[4] = {};
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetDefinitionColor(node("V: 255, 128, 0;"), c, 0)), 0xFF0080FFu);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_FLOAT_EQ(c[1], 128.0f / 255.0f);
    EXPECT_EQ(c[2], 0.0f);
    EXPECT_EQ(c[3], 1.0f) << "three elements give an opaque colour";

    EXPECT_EQ(static_cast<uint32_t>(KVE_GetDefinitionColor(node("V: 0.5, 0.25, 1.0, 0.2;"), c, 0)), 0x33FF4080u);
    EXPECT_EQ(c[0], 0.5f) << "elements with a decimal point are taken unchanged";
    EXPECT_EQ(c[1], 0.25f);
    EXPECT_EQ(c[3], 0.2f);

    EXPECT_EQ(KVE_GetDefinitionColor(node("V: $0000FF;"), c, 0), 0xFF) << "the packed value is returned unchanged";
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[2], 0.0f);
    EXPECT_EQ(c[3], 1.0f) << "a packed colour without alpha is opaque";

    EXPECT_EQ(KVE_GetDefinitionColor(nullptr, c, static_cast<int>(0x80FF0000u)), static_cast<int>(0x80FF0000u));
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_FLOAT_EQ(c[3], 128.0f / 255.0f);

    EXPECT_EQ(static_cast<uint32_t>(KVE_GetDefinitionColor(node("V: 300, -5, 2.0;"), nullptr, 0)), 0xFFFF00FFu)
        << "components outside 0..1 are clamped when packed";

    c[0] = 0.2f;
    c[1] = 0.4f;
    c[2] = 0.6f;
    c[3] = 0.0f;
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetDefinitionColor(node("V: { }"), c, 0)), 0xFF996633u);
    EXPECT_EQ(c[0], 0.2f) << "missing elements keep their components; alpha becomes 1";
    EXPECT_EQ(c[3], 1.0f);
}

} // namespace
