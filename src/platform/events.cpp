// Window events into engine messages, with the classic desktop meanings: keys as
// virtual-key codes, positions packed into the low and high 16 bits of lParam, wheel
// notches as 120-unit deltas in the high 16 bits of wParam. The parameter words carry
// only what the engine's handler reads; everything else is 0.
#include "platform/events.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/keymap.h"
#include "platform/platform.h"

namespace kve::platform {
namespace {

constexpr int kMaxWheelNotches = INT16_MAX / KVE_WHEEL_DELTA;

KVE_MESSAGE makeMessage(uint32_t kind, uint32_t wParam = 0, int32_t lParam = 0)
{
    return KVE_MESSAGE{kind, wParam, lParam};
}

int32_t packPosition(int x, int y)
{
    return static_cast<int32_t>((static_cast<uint32_t>(y) & 0xFFFFu) << 16 | (static_cast<uint32_t>(x) & 0xFFFFu));
}

// The character a key produces on its own that text input does not report.
uint32_t controlCharacter(int virtualKey)
{
    switch (virtualKey) {
    case KVE_VK_BACK:
    case KVE_VK_TAB:
    case KVE_VK_RETURN:
    case KVE_VK_ESCAPE:
        return static_cast<uint32_t>(virtualKey);
    default:
        return 0;
    }
}

// Appends one code point per UTF-8 sequence; malformed bytes are skipped.
void appendCodePoints(const std::string& text, std::vector<KVE_MESSAGE>& out)
{
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        if (length == 0 || at + static_cast<size_t>(length) > text.size()) {
            ++at;
            continue;
        }
        uint32_t codePoint = length == 1 ? lead : lead & (0x7Fu >> length);
        bool valid = true;
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<size_t>(i)]);
            valid = valid && (next & 0xC0) == 0x80;
            codePoint = codePoint << 6 | (next & 0x3Fu);
        }
        at += valid ? static_cast<size_t>(length) : 1;
        if (valid)
            out.push_back(makeMessage(KVE_WM_CHAR, codePoint));
    }
}

// SDL numbers the middle button 2 and the right one 3.
bool buttonMessages(int button, uint32_t* down, uint32_t* doubleClick, uint32_t* up)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        *down = KVE_WM_LBUTTONDOWN, *doubleClick = KVE_WM_LBUTTONDBLCLK, *up = KVE_WM_LBUTTONUP;
        return true;
    case SDL_BUTTON_RIGHT:
        *down = KVE_WM_RBUTTONDOWN, *doubleClick = KVE_WM_RBUTTONDBLCLK, *up = KVE_WM_RBUTTONUP;
        return true;
    case SDL_BUTTON_MIDDLE:
        *down = KVE_WM_MBUTTONDOWN, *doubleClick = KVE_WM_MBUTTONDBLCLK, *up = KVE_WM_MBUTTONUP;
        return true;
    default:
        return false;
    }
}

} // namespace

void MessageTranslator::translate(const WindowEvent& event, std::vector<KVE_MESSAGE>& out)
{
    using Kind = WindowEvent::Kind;
    switch (event.kind) {
    case Kind::KeyDown:
    case Kind::KeyUp:
        key(event, out);
        break;
    case Kind::Text:
        appendCodePoints(event.text, out);
        break;
    case Kind::MouseMotion:
        out.push_back(makeMessage(KVE_WM_MOUSEMOVE, 0, packPosition(event.x, event.y)));
        break;
    case Kind::ButtonDown:
    case Kind::ButtonUp: {
        uint32_t down = 0, doubleClick = 0, up = 0;
        if (!buttonMessages(event.button, &down, &doubleClick, &up))
            break;
        // Every second click of a series is the double click, as the desktop reports it.
        const bool isDouble = event.clicks >= 2 && event.clicks % 2 == 0;
        out.push_back(makeMessage(event.kind == Kind::ButtonUp ? up : isDouble ? doubleClick : down));
        break;
    }
    case Kind::Wheel: {
        if (event.y == 0)
            break;
        const int notches = std::clamp(event.y, -kMaxWheelNotches, kMaxWheelNotches);
        const auto delta = static_cast<uint16_t>(static_cast<int16_t>(notches * KVE_WHEEL_DELTA));
        out.push_back(makeMessage(KVE_WM_MOUSEWHEEL, static_cast<uint32_t>(delta) << 16));
        break;
    }
    case Kind::MouseLeave:
        out.push_back(makeMessage(KVE_WM_MOUSELEAVE));
        break;
    case Kind::Close:
        out.push_back(makeMessage(KVE_WM_CLOSE));
        break;
    case Kind::Resized:
        out.push_back(makeMessage(KVE_WM_SIZE, KVE_SIZE_RESTORED, packPosition(event.x, event.y)));
        break;
    case Kind::Minimized:
        out.push_back(makeMessage(KVE_WM_SIZE, KVE_SIZE_MINIMIZED));
        break;
    case Kind::Other:
        break;
    }
}

// A key-down of a held key (auto-repeat) is not a new press: it sends no key message,
// only the control character again, so that held Backspace keeps deleting.
void MessageTranslator::key(const WindowEvent& event, std::vector<KVE_MESSAGE>& out)
{
    const int code = virtualKeyFromScancode(event.scancode);
    if (code == 0)
        return;
    const bool down = event.kind == WindowEvent::Kind::KeyDown;
    const uint32_t character = down ? controlCharacter(code) : 0;
    if (event.repeat) {
        if (character)
            out.push_back(makeMessage(KVE_WM_CHAR, character));
        return;
    }
    const uint32_t kind = down ? KVE_WM_KEYDOWN : KVE_WM_KEYUP;
    int generic = 0, partner = 0;
    const bool sided = sidedModifier(code, &generic, &partner);
    const bool genericChanges = sided && !sideDown_[partner];
    sideDown_[code] = down;
    if (genericChanges && down)
        out.push_back(makeMessage(kind, static_cast<uint32_t>(generic)));
    out.push_back(makeMessage(kind, static_cast<uint32_t>(code)));
    if (genericChanges && !down)
        out.push_back(makeMessage(kind, static_cast<uint32_t>(generic)));
    if (character)
        out.push_back(makeMessage(KVE_WM_CHAR, character));
}

namespace {

WindowEvent fromSdl(const SDL_Event& event)
{
    using Kind = WindowEvent::Kind;
    WindowEvent reduced;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        reduced.kind = event.type == SDL_KEYDOWN ? Kind::KeyDown : Kind::KeyUp;
        reduced.scancode = event.key.keysym.scancode;
        reduced.repeat = event.key.repeat != 0;
        break;
    case SDL_TEXTINPUT:
        reduced.kind = Kind::Text;
        reduced.text.assign(event.text.text, strnlen(event.text.text, sizeof event.text.text));
        break;
    case SDL_MOUSEMOTION:
        reduced.kind = Kind::MouseMotion;
        reduced.x = event.motion.x;
        reduced.y = event.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        reduced.kind = event.type == SDL_MOUSEBUTTONDOWN ? Kind::ButtonDown : Kind::ButtonUp;
        reduced.button = event.button.button;
        reduced.clicks = event.button.clicks;
        break;
    case SDL_MOUSEWHEEL:
        reduced.kind = Kind::Wheel;
        reduced.y = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        break;
    case SDL_QUIT:
        reduced.kind = Kind::Close;
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            reduced.kind = Kind::Close;
            break;
        case SDL_WINDOWEVENT_LEAVE:
            reduced.kind = Kind::MouseLeave;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            reduced.kind = Kind::Resized;
            reduced.x = event.window.data1;
            reduced.y = event.window.data2;
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            reduced.kind = Kind::Minimized;
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            // A restore need not come with a size change, yet the surface was left at
            // zero size when the window was minimised: report the client size again.
            if (SDL_Window* window = SDL_GetWindowFromID(event.window.windowID)) {
                reduced.kind = Kind::Resized;
                SDL_GetWindowSize(window, &reduced.x, &reduced.y);
            }
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return reduced;
}

MessageTranslator translator;
std::deque<KVE_MESSAGE> pending;

} // namespace

bool nextMessage(KVE_MESSAGE* message)
{
    std::vector<KVE_MESSAGE> translated;
    SDL_Event event;
    while (pending.empty() && SDL_PollEvent(&event)) {
        translated.clear();
        translator.translate(fromSdl(event), translated);
        pending.insert(pending.end(), translated.begin(), translated.end());
    }
    if (pending.empty())
        return false;
    *message = pending.front();
    pending.pop_front();
    return true;
}

} // namespace kve::platform
