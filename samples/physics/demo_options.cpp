#include "demo_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "input_script.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMostFrames = 1'000'000'000;
constexpr double kShortestFrame = 0.0001, kLongestFrame = 1.0; // seconds
constexpr int kSmallestSide = 32, kLargestSide = 8192;         // pixels
constexpr int kSmallestShadowMap = 16, kLargestShadowMap = 8192; // pixels
constexpr uintmax_t kMostModelBytes = uintmax_t{2} << 30;           // the importer's own limit

// A whole decimal number in [low, high]: no sign but '+', no fraction, no exponent.
std::optional<long long> readWholeNumber(std::string_view text, long long low, long long high)
{
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<double> readSeconds(const char* text, double low, double high)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return value;
}

// Checks a file the demo will read: an existing regular file of at most `mostBytes`.
bool checkReadable(const fs::path& path, uintmax_t mostBytes, std::string* error)
{
    std::error_code failed;
    const fs::file_status status = fs::status(path, failed);
    if (failed || !fs::exists(status)) {
        *error = "cannot read " + path.string() + ": no such file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        *error = path.string() + " is not a regular file";
        return false;
    }
    const uintmax_t size = fs::file_size(path, failed);
    if (failed || size > mostBytes) {
        *error = path.string() + " is larger than " + std::to_string(mostBytes / (1024 * 1024)) + " MiB";
        return false;
    }
    return true;
}

// Checks a file the demo will write: not a directory, in a directory that exists.
bool checkWritable(const fs::path& path, std::string* error)
{
    std::error_code failed;
    if (fs::is_directory(path, failed)) {
        *error = path.string() + " is a directory";
        return false;
    }
    const fs::path directory = path.parent_path();
    if (!fs::is_directory(directory, failed)) {
        *error = "cannot write " + path.string() + ": the directory " + directory.string() + " does not exist";
        return false;
    }
    return true;
}

fs::path absolute(const char* value)
{
    std::error_code failed;
    fs::path path = fs::absolute(value, failed);
    return failed ? fs::path(value) : path.lexically_normal();
}

using Apply = std::function<bool(const char* value, DemoOptions& options, std::string* error)>;

Apply setFlag(bool DemoOptions::*flag)
{
    return [flag](const char*, DemoOptions& options, std::string*) {
        options.*flag = true;
        return true;
    };
}

// A whole number from `low` to `high`.
Apply wholeNumber(int DemoOptions::*field, int low, int high)
{
    return [field, low, high](const char* value, DemoOptions& options, std::string* error) {
        const auto number = readWholeNumber(value, low, high);
        if (!number)
            *error = "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high);
        else
            options.*field = static_cast<int>(*number);
        return number.has_value();
    };
}

// A file named on the command line, kept as an absolute path and checked.
Apply fileToWrite(std::string DemoOptions::*field)
{
    return [field](const char* value, DemoOptions& options, std::string* error) {
        const fs::path path = absolute(value);
        options.*field = path.string();
        return checkWritable(path, error);
    };
}

Apply fileToRead(std::string DemoOptions::*field, uintmax_t mostBytes)
{
    return [field, mostBytes](const char* value, DemoOptions& options, std::string* error) {
        const fs::path path = absolute(value);
        options.*field = path.string();
        return checkReadable(path, mostBytes, error);
    };
}

// One option: its name, the name of its value (none for a switch), one line of help,
// and what it does with the value; false (with `error` set) when the value is bad.
struct Option {
    const char* name;
    const char* value;
    const char* help;
    Apply apply;
};

const std::vector<Option>& optionTable()
{
    static const std::vector<Option> table = {
        {"--frames", "N", "run N frames (1 to 1000000000), then shut down; leave out to run until closed",
         wholeNumber(&DemoOptions::frames, 1, kMostFrames)},
        {"--screenshot", "FILE", "write the last presented frame to FILE (PNG), however the run ends",
         fileToWrite(&DemoOptions::screenshot)},
        {"--fixed-dt", "SECONDS", "every frame lasts exactly SECONDS (0.0001 to 1): reproducible runs",
         [](const char* value, DemoOptions& options, std::string* error) {
             const auto seconds = readSeconds(value, kShortestFrame, kLongestFrame);
             if (!seconds)
                 *error = "must be a time in seconds from 0.0001 to 1";
             else
                 options.fixedFrameTime = static_cast<float>(*seconds);
             return seconds.has_value();
         }},
        {"--size", "WIDTHxHEIGHT", "the window's client size in pixels, each 32 to 8192 (default 1600x900)",
         [](const char* value, DemoOptions& options, std::string* error) {
             const std::string_view text = value;
             const size_t x = text.find_first_of("xX");
             const auto width = readWholeNumber(text.substr(0, x), kSmallestSide, kLargestSide);
             const auto height = x == std::string_view::npos
                                     ? std::nullopt
                                     : readWholeNumber(text.substr(x + 1), kSmallestSide, kLargestSide);
             if (!width || !height) {
                 *error = "must be WIDTHxHEIGHT, each a whole number from 32 to 8192";
                 return false;
             }
             options.width = static_cast<int>(*width);
             options.height = static_cast<int>(*height);
             return true;
         }},
        {"--shadow-size", "N", "the shadow maps' side in pixels, 16 to 8192 (default 2048); small maps make long "
                               "headless runs affordable",
         wholeNumber(&DemoOptions::shadowSize, kSmallestShadowMap, kLargestShadowMap)},
        {"--hidden", nullptr, "keep the window hidden", setFlag(&DemoOptions::hidden)},
        {"--input", "FILE", "feed the frame-stamped input in FILE (see README.md)",
         fileToRead(&DemoOptions::inputScript, kMostScriptBytes)},
        {"--record", "FILE", "write the session's input to FILE in the same format", fileToWrite(&DemoOptions::record)},
        {"--print-camera", nullptr, "print the camera's world position on exit", setFlag(&DemoOptions::printCamera)},
        {"--print-stats", nullptr, "print the statistics lines on exit", setFlag(&DemoOptions::printStatistics)},
        {"--profile", nullptr, "time each render pass on the GPU and print a table on exit",
         setFlag(&DemoOptions::profile)},
        {"--watch", nullptr, "reload resources whose files change while it runs", setFlag(&DemoOptions::watch)},
        {"--frame-log", "FILE", "write one line per frame to FILE: frame, wall-clock milliseconds, objects",
         fileToWrite(&DemoOptions::frameLog)},
        {"--model", "FILE", "place the glTF scene in FILE (.gltf or .glb) on the ground as static scenery",
         fileToRead(&DemoOptions::model, kMostModelBytes)},
        {"--solver", "NAME",
         "the contact solver: iterative (the default; stacks stand, piles at rest sleep) or pairwise "
         "(each pair by itself, as the engine starts)",
         [](const char* value, DemoOptions& options, std::string* error) {
             const std::string_view name = value;
             if (name == "iterative")
                 options.solver = KVE_SOLVER_ITERATIVE;
             else if (name == "pairwise")
                 options.solver = KVE_SOLVER_PAIRWISE;
             else
                 *error = "must be iterative or pairwise";
             return error->empty();
         }},
        {"--help", nullptr, "show this text", setFlag(&DemoOptions::help)},
    };
    return table;
}

// "-h", "--hidden", but not a negative number, which is a (bad) value.
bool looksLikeOption(std::string_view word)
{
    return word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1])) && word[1] != '.';
}

} // namespace

std::string demoUsage()
{
    std::string usage = "usage: physics [OPTION]...   (a value follows its option, or is joined to it by '=')\n";
    for (const Option& option : optionTable()) {
        std::string left = std::string("  ") + option.name + (option.value ? std::string(" ") + option.value : "");
        left.resize(std::max<size_t>(left.size() + 2, 28), ' ');
        usage += left + option.help + "\n";
    }
    return usage;
}

DemoOptions parseDemoOptions(int argc, char** argv)
{
    DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        // "--name value" or "--name=value".
        std::string_view arg = argv[i];
        const char* value = nullptr;
        if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
            value = argv[i] + equals + 1;
            arg = arg.substr(0, equals);
        }
        const auto& table = optionTable();
        const auto option = std::find_if(table.begin(), table.end(), [&](const Option& o) {
            return arg == o.name || (arg == "-h" && std::string_view(o.name) == "--help");
        });
        if (option == table.end()) {
            options.error = "unknown option " + std::string(arg);
            break;
        }
        if (!option->value && value) {
            options.error = std::string(option->name) + " takes no value";
            break;
        }
        if (option->value && !value) {
            // The next word is an option of its own ("--screenshot --hidden"), not this
            // one's value; a file name that starts with '-' is given as "--name=value".
            if (i + 1 >= argc || looksLikeOption(argv[i + 1])) {
                options.error = std::string(option->name) + " needs a value (" + option->value + ")";
                break;
            }
            value = argv[++i];
        }
        std::string reason;
        if (!option->apply(value, options, &reason)) {
            options.error = option->name;
            options.error.append(" '").append(value ? value : "").append("': ").append(reason);
            break;
        }
    }
    return options;
}
