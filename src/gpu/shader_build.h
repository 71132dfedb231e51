// Building a program from its two GLSL texts and a description of its interface: the
// attribute and output locations bound before linking, the uniform blocks bound after it
// and the plain uniforms registered in order. The reflecting builder reads the
// description out of the texts; the built-in table writes it out for explicit builds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kve.h"

namespace kve::gpu {

struct LocationBinding {
    std::string name;
    int location = 0;
};

struct BlockBinding {
    std::string name;
    int binding = 0;
};

struct UniformDeclaration {
    std::string name;
    int code = 0; // KVE_UNIFORM_*; the registration index is the position in the list
};

struct ProgramInterface {
    std::vector<LocationBinding> attributes;
    std::vector<LocationBinding> outputs;
    std::vector<BlockBinding> blocks;
    std::vector<UniformDeclaration> uniforms;
};

// Reads the interface out of the declarations: `layout(location = N) in` of the vertex
// text, `layout(location = N) out` of the fragment text, the Projection, Model, Material
// and Misc blocks of both (each once) and the plain uniforms of the vertex text followed
// by those of the fragment text (samplers of the fragment text only).
ProgramInterface reflectProgramInterface(std::string_view vertex, std::string_view fragment);

// Creates the program under an automatic number, stores it as the built-in program of
// `kind`, compiles and attaches both texts, binds, links (failures logged under
// `procedure`), binds blocks, registers uniforms, sets the kind and queues it (a negative
// queue: none). Null when the registry entry could not be made.
ShaderProgram* buildProgram(int kind, int flag, int queue, std::string_view vertex, std::string_view fragment,
                            const char* name, const ProgramInterface& interface, const char* procedure);

} // namespace kve::gpu
