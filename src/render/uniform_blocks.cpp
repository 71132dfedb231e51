// Uniform block records, their start-up with its log section, and the block writers.
#include "render/uniform_blocks.h"

#include <array>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/log.h"
#include "platform/gl.h"
#include "render/projection.h"

namespace kve::render {
namespace {

constexpr const char* kProcedure = "KVE_InitShaderBuffers";
constexpr int kSectionColor = 0x00D06600;

std::array<UniformBlockBuffer, kUniformBlockCount> blocks;

struct BlockSetup {
    const char* name;
    int size;
    GLenum usage;
};
constexpr BlockSetup kBlockSetup[kUniformBlockCount] = {
    {"Projection", 128, GL_STATIC_DRAW}, {"Model", 112, GL_DYNAMIC_DRAW}, {"Material", 48, GL_DYNAMIC_DRAW},
    {"Light", 52, GL_DYNAMIC_DRAW},      {"Misc", 16, GL_STATIC_DRAW},
};

void logLimit(const char* message, GLenum limit, const char* unit = "")
{
    GLint value = 0;
    glGetIntegerv(limit, &value);
    log::progress(message + std::to_string(value) + unit, kProcedure);
}

// Bytes a block's buffer holds: std140 rounds a block up to a whole vec4 (the 52-byte Light
// block takes 64), and a buffer smaller than the block would be read past its end.
int storageSize(int size)
{
    return (size + 15) / 16 * 16;
}

// Fills one record; every block but Projection gets a buffer of its own, allocated with
// the CPU copy as its content and bound to the block's binding point.
void setUpBlock(int binding)
{
    const BlockSetup& setup = kBlockSetup[binding];
    UniformBlockBuffer& block = blocks[static_cast<size_t>(binding)];
    block.binding = binding;
    block.name = setup.name;
    block.size = setup.size;
    block.uploadSize = setup.size;
    block.unused[0] = block.unused[1] = 0;
    if (binding == static_cast<int>(Block::Projection)) {
        block.buffer = projection().buffer;
    } else {
        glGenBuffers(1, &block.buffer);
        glBindBuffer(GL_UNIFORM_BUFFER, block.buffer);
        glBufferData(GL_UNIFORM_BUFFER, storageSize(setup.size), block.data, setup.usage);
        glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(binding), block.buffer);
    }
    log::progress(std::string("[Buffer] ") + setup.name + ":", kProcedure);
    if (static_cast<int32_t>(block.buffer) > 0)
        log::ok(kProcedure);
    else
        log::fail("FAIL", kProcedure);
}

} // namespace

UniformBlockBuffer& uniformBlock(Block block)
{
    return blocks[static_cast<size_t>(block)];
}

UniformBlockBuffer* uniformBlockAt(int binding)
{
    return binding >= 0 && binding < kUniformBlockCount ? &blocks[static_cast<size_t>(binding)] : nullptr;
}

void writeBlock(Block block, int offset, const void* bytes, int count)
{
    UniformBlockBuffer& record = uniformBlock(block);
    if (offset < 0 || count <= 0 || offset + count > kBlockSetup[static_cast<int>(block)].size)
        return;
    std::memcpy(record.data + offset, bytes, static_cast<size_t>(count));
    uploadBlockRange(block, offset, count);
}

void uploadBlockRange(Block block, int offset, int count)
{
    const UniformBlockBuffer& record = uniformBlock(block);
    if (record.buffer == 0 || offset < 0 || count <= 0 || offset + count > kBlockSetup[static_cast<int>(block)].size)
        return;
    glBindBuffer(GL_UNIFORM_BUFFER, record.buffer);
    glBufferSubData(GL_UNIFORM_BUFFER, offset, count, record.data + offset);
}

ModelBlock modelBlockOf(const KVE_Matrix& modelView)
{
    ModelBlock model{modelView, {}};
    for (int column = 0; column < 3; ++column) {
        model.normal[column] = modelView.c[column];
        model.normal[column].w = 0.0f;
    }
    return model;
}

void writeModelBlock(const KVE_Matrix& modelView)
{
    const ModelBlock model = modelBlockOf(modelView);
    writeBlock(Block::Model, 0, &model, sizeof model);
}

void writeModelMatrix(const KVE_Matrix& matrix)
{
    writeBlock(Block::Model, 0, &matrix, sizeof matrix);
}

void writeMaterialBlock(const MaterialBlock& material, int bytes)
{
    if (bytes > static_cast<int>(sizeof material))
        bytes = sizeof material;
    writeBlock(Block::Material, 0, &material, bytes);
}

void writeLightBlock(const LightBlock& light)
{
    writeBlock(Block::Light, 0, &light, sizeof light);
}

void writeMiscBlock(const MiscBlock& misc)
{
    writeBlock(Block::Misc, 0, &misc, sizeof misc);
}

void deleteUniformBuffers()
{
    for (UniformBlockBuffer& block : blocks) {
        if (block.buffer != 0)
            glDeleteBuffers(1, &block.buffer);
        block = UniformBlockBuffer{};
    }
    resetProjection();
}

} // namespace kve::render

extern "C" int KVE_InitShaderBuffers(void)
{
    namespace log = kve::log;
    using kve::render::kProcedure;
    KVE_BeginLogSection("Uniform Buffer", kve::render::kSectionColor);
    GLint fragmentComponents = 0;
    glGetIntegerv(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS, &fragmentComponents);
    kve::render::logLimit("Maximum GEOMETRY UNIFORM components: ", GL_MAX_GEOMETRY_UNIFORM_COMPONENTS);
    kve::render::logLimit("Maximum VERTEX UNIFORM components: ", GL_MAX_VERTEX_UNIFORM_COMPONENTS);
    kve::render::logLimit("Maximum FRAGMENT UNIFORM components: ", GL_MAX_FRAGMENT_UNIFORM_COMPONENTS);
    kve::render::logLimit("Maximum GEOMETRY UNIFORM BLOCKS components: ", GL_MAX_GEOMETRY_UNIFORM_BLOCKS);
    kve::render::logLimit("Maximum VERTEX UNIFORM BLOCKS components: ", GL_MAX_VERTEX_UNIFORM_BLOCKS);
    kve::render::logLimit("Maximum FRAGMENT UNIFORM BLOCKS components: ", GL_MAX_FRAGMENT_UNIFORM_BLOCKS);
    kve::render::logLimit("Maximum UNIFORM BLOCKS size: ", GL_MAX_UNIFORM_BLOCK_SIZE, " Bytes");
    KVE_EndLogSection();
    KVE_BeginLogSection("", kve::render::kSectionColor);
    if (fragmentComponents == 0) {
        log::fail("FAIL", kProcedure);
        KVE_EndLogSection();
        return 0;
    }
    // The Misc block starts out with the screen size and the projection's planes.
    const auto& screen = kve::engine::state();
    const auto& projection = kve::render::projection();
    const kve::render::MiscBlock misc{{static_cast<float>(screen.screenWidth), static_cast<float>(screen.screenHeight)},
                                      projection.nearPlane,
                                      projection.farPlane};
    std::memcpy(kve::render::uniformBlock(kve::render::Block::Misc).data, &misc, sizeof misc);
    bool allMade = true;
    for (int binding = 0; binding < kve::render::kUniformBlockCount; ++binding) {
        kve::render::setUpBlock(binding);
        allMade = allMade && kve::render::uniformBlockAt(binding)->buffer != 0;
    }
    KVE_EndLogSection();
    return allMade ? 1 : 0;
}
