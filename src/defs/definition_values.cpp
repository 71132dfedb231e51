// The value readers: a node found by a lookup (or none, when the key is absent) turned
// into text, an integer, a float, a vector, a range or a colour, with the caller's
// default for an absent key.
#include <cmath>
#include <cstring>

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

void unpackColor(int color, float* out)
{
    const auto packed = static_cast<uint32_t>(color);
    for (int channel = 0; channel < 4; ++channel)
        out[channel] = static_cast<float>((packed >> (8 * channel)) & 0xFF) / 255.0f;
    // A colour written without alpha ("$0000FF") is opaque.
    if ((packed >> 24) == 0)
        out[3] = 1.0f;
}

// Each component x 255, rounded and clamped to its byte, so that out-of-range
// components never spill into their neighbours.
int packColor(const float* components)
{
    uint32_t packed = 0;
    for (int channel = 0; channel < 4; ++channel) {
        const float scaled = components[channel] * 255.0f;
        const long byte = std::isnan(scaled) ? 0 : std::lround(std::fmin(std::fmax(scaled, 0.0f), 255.0f));
        packed |= static_cast<uint32_t>(byte) << (8 * channel);
    }
    return static_cast<int32_t>(packed);
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
    float scratch[4];
    float* const components = out ? out : scratch;
    if (!out)
        unpackColor(defaultColor, scratch);
    if (!node) {
        unpackColor(defaultColor, components);
        return defaultColor;
    }
    if (!node->group) {
        const int color = parseIntegerText(node->valueText());
        unpackColor(color, components);
        return color;
    }
    // Children with a decimal point are components from 0 to 1, others bytes 0 to 255.
    for (uint32_t i = 0; i < 4 && i < node->childCount; ++i) {
        const std::string_view text = node->children[i]->valueText();
        components[i] = text.find('.') != std::string_view::npos ? parseFloatText(text)
                                                                 : static_cast<float>(parseIntegerText(text)) / 255.0f;
    }
    if (node->childCount < 4)
        components[3] = 1.0f;
    return packColor(components);
}

} // extern "C"
