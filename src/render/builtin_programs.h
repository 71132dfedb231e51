// The built-in program table: one program record per kind number 0..25, built from the
// engine's GLSL sources at start-up, that materials select by kind.
#pragma once

#include <string>
#include <string_view>

#include "kve.h"

namespace kve::render {

// The record of a kind, null for an empty kind or a number outside 0..25.
ShaderProgram* builtinProgram(int kind);
// Stores a record under its kind (numbers outside 0..25 are not stored).
void setBuiltinProgram(int kind, ShaderProgram* program);
// Empties the slot that holds this record, if any (the record is being released).
void forgetBuiltinProgram(const ShaderProgram* program);

// The engine's source text with each `#include "<file>.glsl"` line replaced by that
// shared piece of the engine's sources (GLSL 330 has no include of its own). A line naming
// no known piece stays as it is, and the compiler reports it.
std::string expandIncludes(std::string_view source);

} // namespace kve::render
