// Include this to call OpenGL: every gl* name is routed through the engine's function
// table, so no call reaches the driver except through an entry that was looked up.
#pragma once

#include "platform/gl_table.h"

#include "platform/gl_names.inc"

// Extension enums the engine uses that glcorearb.h does not carry.
#ifndef GL_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_TEXTURE_MAX_ANISOTROPY_EXT 0x84FE
#define GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT 0x84FF
#endif
