// Reading and writing the scripted-input format (see input_script.h).
#include "input_script.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <optional>

namespace {

enum class Arguments { None, Key, Character, Button, Wheel, Relative, Position, Raw };

struct EventKind {
    const char* name;
    Arguments arguments;
    uint32_t message; // 0 for the button events: see kButtonEvents
};

constexpr EventKind kEventKinds[] = {
    {"keydown", Arguments::Key, KVE_WM_KEYDOWN},
    {"keyup", Arguments::Key, KVE_WM_KEYUP},
    {"char", Arguments::Character, KVE_WM_CHAR},
    {"mousemove", Arguments::Relative, KVE_WM_MOUSEMOVE},
    {"mouseto", Arguments::Position, KVE_WM_MOUSEMOVE},
    {"buttondown", Arguments::Button, 0},
    {"buttonup", Arguments::Button, 0},
    {"doubleclick", Arguments::Button, 0},
    {"wheel", Arguments::Wheel, KVE_WM_MOUSEWHEEL},
    {"mouseleave", Arguments::None, KVE_WM_MOUSELEAVE},
    {"close", Arguments::None, KVE_WM_CLOSE},
    {"message", Arguments::Raw, 0},
};

constexpr int kArgumentCounts[] = {0, 1, 1, 1, 1, 2, 2, 3};

struct ButtonEvent {
    const char* name;
    int button;
    uint32_t message;
};

constexpr ButtonEvent kButtonEvents[] = {
    {"buttondown", KVE_MOUSE_LEFT, KVE_WM_LBUTTONDOWN},      {"buttonup", KVE_MOUSE_LEFT, KVE_WM_LBUTTONUP},
    {"doubleclick", KVE_MOUSE_LEFT, KVE_WM_LBUTTONDBLCLK},   {"buttondown", KVE_MOUSE_RIGHT, KVE_WM_RBUTTONDOWN},
    {"buttonup", KVE_MOUSE_RIGHT, KVE_WM_RBUTTONUP},         {"doubleclick", KVE_MOUSE_RIGHT, KVE_WM_RBUTTONDBLCLK},
    {"buttondown", KVE_MOUSE_MIDDLE, KVE_WM_MBUTTONDOWN},    {"buttonup", KVE_MOUSE_MIDDLE, KVE_WM_MBUTTONUP},
    {"doubleclick", KVE_MOUSE_MIDDLE, KVE_WM_MBUTTONDBLCLK},
};

std::vector<std::string_view> splitWords(std::string_view line)
{
    std::vector<std::string_view> words;
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos)
            return words;
        const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
}

// A whole number: optional sign, then decimal digits or 0x and hex digits.
std::optional<int64_t> readNumber(std::string_view word)
{
    bool negative = false;
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
        negative = word[0] == '-';
        word.remove_prefix(1);
    }
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    if (word.empty() || word.size() > 12)
        return std::nullopt;
    int64_t value = 0;
    for (char c : word) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : 99;
        if (digit >= base)
            return std::nullopt;
        value = value * base + digit;
    }
    return negative ? -value : value;
}

class LineReader {
public:
    LineReader(std::vector<std::string_view> words, std::string* error) : words_(std::move(words)), error_(error) {}

    // The argument `index` as a number in [low, high]; sets the error otherwise.
    std::optional<int64_t> number(size_t index, const char* what, int64_t low, int64_t high)
    {
        const std::optional<int64_t> value = readNumber(words_[index]);
        if (value && *value >= low && *value <= high)
            return value;
        char text[160];
        std::snprintf(text, sizeof text, "%s must be a number from %" PRId64 " to %" PRId64 ", not '%.*s'", what, low,
                      high, static_cast<int>(words_[index].size()), words_[index].data());
        *error_ = text;
        return std::nullopt;
    }

    std::optional<ScriptEvent> read();

private:
    std::vector<std::string_view> words_;
    std::string* error_;
};

std::optional<ScriptEvent> LineReader::read()
{
    ScriptEvent event;
    const std::optional<int64_t> frame = number(0, "the frame", 1, 1'000'000'000);
    if (!frame)
        return std::nullopt;
    event.frame = static_cast<int>(*frame);
    if (words_.size() < 2) {
        *error_ = "an event name must follow the frame number";
        return std::nullopt;
    }
    const auto kind = std::find_if(std::begin(kEventKinds), std::end(kEventKinds),
                                   [&](const EventKind& k) { return words_[1] == k.name; });
    if (kind == std::end(kEventKinds)) {
        *error_ = "unknown event '" + std::string(words_[1]) + "'";
        return std::nullopt;
    }
    const size_t wanted = static_cast<size_t>(kArgumentCounts[static_cast<int>(kind->arguments)]);
    if (words_.size() != wanted + 2) {
        *error_ = std::string(kind->name) + " takes " + std::to_string(wanted) + " argument" +
                  (wanted == 1 ? "" : "s") + ", not " + std::to_string(words_.size() - 2);
        return std::nullopt;
    }
    KVE_MESSAGE& message = event.message;
    message.message = kind->message;
    std::optional<int64_t> a, b, c;
    switch (kind->arguments) {
    case Arguments::None:
        return event;
    case Arguments::Key:
        if (!(a = number(2, "a key code", 0, 255)))
            return std::nullopt;
        message.wParam = static_cast<uint32_t>(*a);
        return event;
    case Arguments::Character:
        if (!(a = number(2, "a character code", 0, 0x10FFFF)))
            return std::nullopt;
        message.wParam = static_cast<uint32_t>(*a);
        return event;
    case Arguments::Button:
        for (const ButtonEvent& button : kButtonEvents)
            if (words_[2] == std::to_string(button.button) && std::string_view(kind->name) == button.name) {
                message.message = button.message;
                return event;
            }
        *error_ = "the button must be 1 (left), 2 (right) or 4 (middle), not '" + std::string(words_[2]) + "'";
        return std::nullopt;
    case Arguments::Wheel: {
        constexpr int64_t kMostNotches = INT16_MAX / KVE_WHEEL_DELTA;
        if (!(a = number(2, "the wheel notches", -kMostNotches, kMostNotches)))
            return std::nullopt;
        const auto delta = static_cast<uint16_t>(static_cast<int16_t>(*a * KVE_WHEEL_DELTA));
        message.wParam = static_cast<uint32_t>(delta) << 16;
        return event;
    }
    case Arguments::Relative:
    case Arguments::Position: {
        const bool relative = kind->arguments == Arguments::Relative;
        if (!(a = number(2, relative ? "dx" : "x", INT16_MIN, INT16_MAX)) ||
            !(b = number(3, relative ? "dy" : "y", INT16_MIN, INT16_MAX)))
            return std::nullopt;
        event.relative = relative;
        event.dx = static_cast<int>(*a);
        event.dy = static_cast<int>(*b);
        if (!relative)
            message.lParam = static_cast<int32_t>((static_cast<uint32_t>(*b) & 0xFFFFu) << 16 |
                                                  (static_cast<uint32_t>(*a) & 0xFFFFu));
        return event;
    }
    case Arguments::Raw:
        if (!(a = number(2, "the message kind", 0, UINT32_MAX)) || !(b = number(3, "wParam", 0, UINT32_MAX)) ||
            !(c = number(4, "lParam", INT32_MIN, UINT32_MAX)))
            return std::nullopt;
        message.message = static_cast<uint32_t>(*a);
        message.wParam = static_cast<uint32_t>(*b);
        message.lParam = static_cast<int32_t>(static_cast<uint32_t>(*c));
        return event;
    }
    return std::nullopt;
}

std::string_view withoutComment(std::string_view line)
{
    return line.substr(0, line.find('#'));
}

bool sameMessage(const KVE_MESSAGE& a, const KVE_MESSAGE& b)
{
    return a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}

} // namespace

bool InputScript::parse(std::string_view text, std::string* error)
{
    events_.clear();
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = withoutComment(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        std::vector<std::string_view> words = splitWords(line);
        if (words.empty())
            continue;
        std::string reason;
        const std::optional<ScriptEvent> event = LineReader(std::move(words), &reason).read();
        if (!event) {
            *error = "line " + std::to_string(lineNumber) + ": " + reason;
            events_.clear();
            return false;
        }
        events_.push_back(*event);
    }
    std::stable_sort(events_.begin(), events_.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    return true;
}

bool InputScript::load(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    // Stops one chunk past the limit, so that an endless stream is refused too.
    std::string text;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
        if (text.size() > kMostScriptBytes) {
            *error = path + " is larger than " + std::to_string(kMostScriptBytes / (1024 * 1024)) + " MiB";
            return false;
        }
    }
    if (parse(text, error))
        return true;
    *error = path + ": " + *error;
    return false;
}

std::span<const ScriptEvent> InputScript::eventsFor(int frame) const
{
    const auto first = std::lower_bound(events_.begin(), events_.end(), frame,
                                        [](const ScriptEvent& event, int f) { return event.frame < f; });
    const auto last =
        std::upper_bound(first, events_.end(), frame, [](int f, const ScriptEvent& event) { return f < event.frame; });
    return {first, last};
}

std::string formatScriptLine(int frame, const KVE_MESSAGE& message)
{
    const uint32_t w = message.wParam;
    const int32_t l = message.lParam;
    char shortForm[64] = "";
    switch (message.message) {
    case KVE_WM_KEYDOWN:
    case KVE_WM_KEYUP:
        std::snprintf(shortForm, sizeof shortForm, "%s 0x%02X", message.message == KVE_WM_KEYDOWN ? "keydown" : "keyup",
                      w);
        break;
    case KVE_WM_CHAR:
        std::snprintf(shortForm, sizeof shortForm, "char 0x%02X", w);
        break;
    case KVE_WM_MOUSEMOVE:
        std::snprintf(shortForm, sizeof shortForm, "mouseto %d %d", static_cast<int16_t>(l & 0xFFFF),
                      static_cast<int16_t>(static_cast<uint32_t>(l) >> 16));
        break;
    case KVE_WM_MOUSEWHEEL:
        std::snprintf(shortForm, sizeof shortForm, "wheel %d", static_cast<int16_t>(w >> 16) / KVE_WHEEL_DELTA);
        break;
    case KVE_WM_MOUSELEAVE:
        std::snprintf(shortForm, sizeof shortForm, "mouseleave");
        break;
    case KVE_WM_CLOSE:
        std::snprintf(shortForm, sizeof shortForm, "close");
        break;
    default:
        for (const ButtonEvent& button : kButtonEvents)
            if (button.message == message.message)
                std::snprintf(shortForm, sizeof shortForm, "%s %d", button.name, button.button);
        break;
    }
    // The short form stands only where it gives back exactly this message.
    const std::string line = std::to_string(frame) + " " + shortForm;
    std::string ignored;
    const std::optional<ScriptEvent> back = LineReader(splitWords(line), &ignored).read();
    if (shortForm[0] && back && sameMessage(back->message, message))
        return line;
    char raw[96];
    std::snprintf(raw, sizeof raw, "%d message 0x%04X 0x%X 0x%X", frame, message.message, w, static_cast<uint32_t>(l));
    return raw;
}
