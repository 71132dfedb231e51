// Window events into engine messages.
#include "platform/platform.h"

#include <SDL.h>

namespace kve::platform {

bool nextMessage(KVE_MESSAGE* message)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        KVE_MESSAGE translated{};
        switch (event.type) {
        case SDL_QUIT:
            translated.message = KVE_WM_CLOSE;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event != SDL_WINDOWEVENT_CLOSE)
                continue;
            translated.message = KVE_WM_CLOSE;
            break;
        default:
            continue;
        }
        *message = translated;
        return true;
    }
    return false;
}

} // namespace kve::platform
