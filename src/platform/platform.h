// The platform layer: the only part of the engine that talks to SDL. It stands in for
// the desktop services the engine was designed around (application window, drawing
// surface and GL context, buffer swap, counters, window messages, cursor).
#pragma once

#include <cstdint>
#include <string>

#include "kve.h"

namespace kve::platform {

// The engine's pixel-format request, kept in the classic descriptor form and
// translated into SDL's GL attributes.
struct PixelFormatDescriptor {
    uint16_t size = 40;
    uint16_t version = 1;
    uint32_t flags = 0x25; // draw to window | support OpenGL | double buffer
    uint8_t pixelType = 0; // RGBA
    uint8_t colorBits = 0;
    uint8_t depthBits = 0;
    uint8_t stencilBits = 0;
    uint8_t alphaBits = 0;
    uint8_t accumBits = 0;
    uint32_t layerMask = 0;
};

PixelFormatDescriptor describePixelFormat(int bitDepth);

// What the driver actually granted for the context.
struct ContextInfo {
    int major = 0, minor = 0;
    bool coreProfile = false;
    bool doubleBuffered = false;
    int red = 0, green = 0, blue = 0, alpha = 0, depth = 0;
};

// Starts SDL's video subsystem once, choosing the offscreen driver when no display exists.
bool initVideo();
const char* videoDriverName();

int openWindow(const char* title, int clientWidth, int clientHeight, bool hidden); // 0 on failure
bool windowExists(int window);
void clientSize(int window, int* width, int* height);
void windowOrigin(int window, int* x, int* y); // client origin on the screen

// Makes the window the drawing surface with a GL context as `format` asks; false if no
// context could be made current.
bool createContext(int window, const PixelFormatDescriptor& format, ContextInfo* granted);
// Deletes the context and closes the window.
void closeWindow(int window);

void* glProcAddress(const char* name);
void swapBuffers();
bool setSwapInterval(int interval);

uint64_t counter();
uint64_t counterFrequency();
uint32_t milliseconds();

// The executable's directory, ending in a separator.
std::string executableDirectory();

// Takes the next window event and translates it into an engine message; false when the
// queue is empty. Events that have no engine meaning are consumed and skipped; one event
// may give several messages (a modifier key's own and generic codes), returned in turn.
bool nextMessage(KVE_MESSAGE* message);

// Cursor services on the surface window.
void showCursor(bool visible);
// Moves the pointer (client pixels). Without a display (offscreen driver) there is no
// pointer, and nothing happens: no motion event is made up.
void warpMouse(int window, int x, int y);
void confineMouse(int window, int width, int height); // to the client rectangle from its origin

} // namespace kve::platform
