// The value readers: a node found by a lookup (or none, when the key is absent) turned
// into text, an integer, a float, a vector, a range or a colour, with the caller's
// default for an absent key.
#include "defs/definition_node.h"
#include "defs/number_text.h"

namespace {

using kve::defs::parseFloatText;
using kve::defs::parseIntegerText;

// The float values of a group node's first `count` children; a missing child leaves its
// slot as it was.
void readChildFloats(const DefinitionNode* node, float* out, uint32_t count)
{
    for (uint32_t i = 0; i < count && i < node->childCount; ++i)
        out[i] = parseFloatText(node->children[i]->valueText());
}

} // namespace

extern "C" {

const char* KVE_GetDefinitionString(const DefinitionNode* node, const char* defaultText)
{
    return node ? node->value : defaultText;
}

int KVE_GetDefinitionInteger(const DefinitionNode* node, int defaultValue)
{
    return node ? parseIntegerText(node->valueText()) : defaultValue;
}

float KVE_GetDefinitionFloat(const DefinitionNode* node, float defaultValue)
{
    return node ? parseFloatText(node->valueText()) : defaultValue;
}

void KVE_GetDefinitionVector(const DefinitionNode* node, KVE_Vector* out, float x, float y, float z)
{
    if (!out)
        return;
    if (!node) {
        out->x = x;
        out->y = y;
        out->z = z;
    } else if (node->group) {
        float xyz[3] = {out->x, out->y, out->z};
        readChildFloats(node, xyz, 3);
        out->x = xyz[0];
        out->y = xyz[1];
        out->z = xyz[2];
    } else {
        // A single number is a distance along the view direction.
        out->x = 0.0f;
        out->y = 0.0f;
        out->z = -parseFloatText(node->valueText());
    }
}

void KVE_GetDefinitionRange(const DefinitionNode* node, float* out, float min, float max)
{
    if (!out)
        return;
    if (!node) {
        out[0] = min;
        out[1] = max == KVE_DEFAULT_FLOAT ? min : max;
    } else if (node->group) {
        readChildFloats(node, out, 2);
    } else {
        out[0] = out[1] = parseFloatText(node->valueText());
    }
}

int KVE_GetDefinitionColor(const DefinitionNode* node, float* out, int defaultColor)
{
    KVE_Vector color{};
    int packed = node && !node->group ? parseIntegerText(node->valueText()) : defaultColor;
    if (!node || !node->group) {
        KVE_ColorToVector(&color, packed);
    } else {
        // Children with a decimal point are components from 0 to 1, others bytes 0 to 255;
        // a missing child leaves the component as it was.
        if (out)
            color = {out[0], out[1], out[2], out[3]};
        else
            KVE_ColorToVector(&color, defaultColor);
        float* const components[4] = {&color.x, &color.y, &color.z, &color.w};
        for (uint32_t i = 0; i < 4 && i < node->childCount; ++i) {
            const std::string_view text = node->children[i]->valueText();
            *components[i] = text.find('.') != std::string_view::npos
                                 ? parseFloatText(text)
                                 : static_cast<float>(parseIntegerText(text)) / 255.0f;
        }
        if (node->childCount < 4)
            color.w = 1.0f;
        packed = KVE_VectorToColor(&color);
    }
    if (out) {
        out[0] = color.x;
        out[1] = color.y;
        out[2] = color.z;
        out[3] = color.w;
    }
    return packed;
}

} // extern "C"
