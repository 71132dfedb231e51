// KVE_InitScreenShader: compiles and links the screen-copy program.
#include "render/screen_program.h"

#include <string>
#include <string_view>

#include "gpu/shader.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/uniform_blocks.h"
#include "shaders.h"

namespace kve::render {
namespace {

constexpr const char* kProcedure = "KVE_InitScreenShader";
constexpr const char* kName = "Screen Copy";

ScreenProgram screen;

void attachStage(unsigned type, const unsigned char* source, size_t size)
{
    const std::string text = expandIncludes(std::string_view(reinterpret_cast<const char*>(source), size));
    if (const unsigned object = gpu::compileStage(type, text, kName, kProcedure)) {
        glAttachShader(screen.program, object);
        glDeleteShader(object);
    }
}

} // namespace

const ScreenProgram& screenProgram()
{
    return screen;
}

void deleteScreenProgram()
{
    if (screen.program != 0)
        glDeleteProgram(screen.program);
    screen = ScreenProgram{};
}

} // namespace kve::render

extern "C" void KVE_InitScreenShader(void)
{
    using namespace kve::render;
    deleteScreenProgram();
    screen.program = glCreateProgram();
    attachStage(GL_VERTEX_SHADER, kve::shaders::kScreenVert, kve::shaders::kScreenVertSize);
    attachStage(GL_FRAGMENT_SHADER, kve::shaders::kScreenFrag, kve::shaders::kScreenFragSize);
    glBindAttribLocation(screen.program, 0, "vVertex");
    glBindAttribLocation(screen.program, 2, "vTexCoord0");
    glBindFragDataLocation(screen.program, 0, "vFragColor");
    kve::gpu::linkProgram(screen.program, kName, kProcedure);
    kve::gpu::bindBlock(screen.program, "Projection", static_cast<int>(Block::Projection));
    screen.colorMapLocation = glGetUniformLocation(screen.program, "ColorMap");
}
