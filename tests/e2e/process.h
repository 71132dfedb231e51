// Child processes for the end-to-end tests: started with a changed environment, their
// output (stdout and stderr) in a file, waited for with a time limit.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kve::test {

class Process {
public:
    // `environment` entries "NAME=value" set a variable, a bare "NAME" removes it.
    Process(const std::vector<std::string>& command, const std::vector<std::string>& environment,
            const std::filesystem::path& output);
    ~Process(); // kills the process if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The exit code once the process has ended within `seconds` (128 + signal when a
    // signal ended it); nothing if it still runs.
    std::optional<int> wait(double seconds);
    void kill();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct Finished {
    int exitCode = -1; // -1: did not end in time and was killed
    std::string output;
};

// Runs `command` to its end (or kills it after `seconds`).
Finished run(const std::vector<std::string>& command, const std::vector<std::string>& environment,
             double seconds = 120);

// Whether `program` is found on PATH.
bool onPath(const std::string& program);

} // namespace kve::test
