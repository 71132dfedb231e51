// SDL2 implementation of the platform layer: window, GL context, counters, cursor.
#include "platform/platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace kve::platform {
namespace {

SDL_GLContext context = nullptr;

SDL_Window* windowFromNumber(int window)
{
    return window > 0 ? SDL_GetWindowFromID(static_cast<Uint32>(window)) : nullptr;
}

// Pixel-format attributes must be in place before a window is created: on X11 they pick
// the window's visual.
void applyPixelFormat(const PixelFormatDescriptor& format)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (format.flags & 0x01) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, std::min<int>(format.depthBits, 24));
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits);
}

} // namespace

PixelFormatDescriptor describePixelFormat(int bitDepth)
{
    PixelFormatDescriptor format;
    format.colorBits = static_cast<uint8_t>(bitDepth);
    format.depthBits = static_cast<uint8_t>(bitDepth);
    return format;
}

bool initVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    // With no display the offscreen driver (EGL on Mesa) still gives a GL context.
    if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return false;
    // Hold one reference to the GL library for the life of the process: SDL would
    // unload it with the last window, and the driver's own allocations would then show
    // up in leak reports without a library name to attribute them to.
    SDL_GL_LoadLibrary(nullptr);
    return true;
}

const char* videoDriverName()
{
    const char* name = SDL_GetCurrentVideoDriver();
    return name ? name : "";
}

int openWindow(const char* title, int clientWidth, int clientHeight, bool hidden)
{
    if (!initVideo() || clientWidth <= 0 || clientHeight <= 0)
        return 0;
    applyPixelFormat(describePixelFormat(32));
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | (hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
    SDL_Window* window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          clientWidth, clientHeight, flags);
    return window ? static_cast<int>(SDL_GetWindowID(window)) : 0;
}

bool windowExists(int window)
{
    return windowFromNumber(window) != nullptr;
}

void clientSize(int window, int* width, int* height)
{
    int w = 0, h = 0;
    if (SDL_Window* handle = windowFromNumber(window))
        SDL_GetWindowSize(handle, &w, &h);
    if (width)
        *width = w;
    if (height)
        *height = h;
}

void windowOrigin(int window, int* x, int* y)
{
    int left = 0, top = 0;
    if (SDL_Window* handle = windowFromNumber(window))
        SDL_GetWindowPosition(handle, &left, &top);
    if (x)
        *x = left;
    if (y)
        *y = top;
}

bool createContext(int window, const PixelFormatDescriptor& format, ContextInfo* granted)
{
    SDL_Window* handle = windowFromNumber(window);
    if (!handle)
        return false;
    applyPixelFormat(format);
    if (context)
        SDL_GL_DeleteContext(context);
    context = SDL_GL_CreateContext(handle);
    if (!context || SDL_GL_MakeCurrent(handle, context) != 0)
        return false;
    if (granted) {
        int profile = 0;
        int doubleBuffer = 0;
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &granted->major);
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &granted->minor);
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
        SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
        SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &granted->red);
        SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &granted->green);
        SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &granted->blue);
        SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &granted->alpha);
        SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &granted->depth);
        granted->coreProfile = profile == SDL_GL_CONTEXT_PROFILE_CORE;
        granted->doubleBuffered = doubleBuffer != 0;
    }
    return true;
}

void closeWindow(int window)
{
    if (context) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (SDL_Window* handle = windowFromNumber(window))
        SDL_DestroyWindow(handle);
}

void* glProcAddress(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}

void swapBuffers()
{
    if (SDL_Window* window = SDL_GL_GetCurrentWindow())
        SDL_GL_SwapWindow(window);
}

bool setSwapInterval(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0;
}

uint64_t counter()
{
    return SDL_GetPerformanceCounter();
}

uint64_t counterFrequency()
{
    return SDL_GetPerformanceFrequency();
}

uint32_t milliseconds()
{
    return SDL_GetTicks();
}

std::string executableDirectory()
{
    char* base = SDL_GetBasePath();
    std::string directory = base ? base : "./";
    SDL_free(base);
    return directory;
}

void showCursor(bool visible)
{
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void warpMouse(int window, int x, int y)
{
    const std::string_view driver = videoDriverName();
    if (driver == "offscreen" || driver == "dummy")
        return;
    if (SDL_Window* handle = windowFromNumber(window))
        SDL_WarpMouseInWindow(handle, x, y);
}

void confineMouse(int window, int width, int height)
{
    if (SDL_Window* handle = windowFromNumber(window)) {
        const SDL_Rect rect{0, 0, width, height};
        SDL_SetWindowMouseRect(handle, &rect);
    }
}

} // namespace kve::platform
