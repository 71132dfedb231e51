// The engine's table of OpenGL entry points. Filled once at start-up through the
// platform's address lookup; an entry the driver lacks stays null. Only gl.cpp includes
// this header directly; everyone else includes platform/gl.h.
#pragma once

#include <GL/glcorearb.h>

#include <string>
#include <vector>

namespace kve::gl {

struct FunctionTable {
#define KVE_GL_FUNCTION(name, type, version) type name = nullptr;
#include "platform/gl_functions.inc"
#undef KVE_GL_FUNCTION
};

extern FunctionTable functions;

// Fills every entry with `lookup` (null entries where it answers null) and returns the
// names of the required entries (core 3.3 and below) that stayed null.
std::vector<std::string> load(void* (*lookup)(const char* name));

// Empties the table (after shutdown, so that a later start-up loads it afresh).
void clear();

// Number of entries in the table and how many of them are filled.
int entryCount();
int loadedCount();

// Whether the named entry exists in the table and is filled.
bool isLoaded(const char* name);

} // namespace kve::gl
