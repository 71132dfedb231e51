#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/test_files.h"

namespace kve::test {

Process::Process(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                 const std::filesystem::path& output)
{
    pid_ = fork();
    if (pid_ != 0)
        return;
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos)
            unsetenv(entry.c_str());
        else
            setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    const int file = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file >= 0) {
        dup2(file, STDOUT_FILENO);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    std::vector<char*> arguments;
    for (const std::string& word : command)
        arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    execvp(arguments[0], arguments.data());
    std::fprintf(stderr, "cannot run %s: %s\n", arguments[0], std::strerror(errno));
    _exit(127);
}

Process::~Process()
{
    kill();
}

std::optional<int> Process::wait(double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!status_ && pid_ > 0) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || done < 0) {
            status_ = done < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
}

void Process::kill()
{
    if (pid_ <= 0 || status_)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = 128 + SIGKILL;
}

Finished run(const std::vector<std::string>& command, const std::vector<std::string>& environment, double seconds)
{
    const std::filesystem::path output = std::filesystem::current_path() / ("output_" + std::to_string(getpid()));
    Finished finished;
    {
        Process process(command, environment, output);
        const std::optional<int> code = process.wait(seconds);
        finished.exitCode = code ? *code : -1;
    }
    finished.output = readFile(output);
    std::filesystem::remove(output);
    return finished;
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const size_t colon = std::min(rest.find(':'), rest.size());
        const std::filesystem::path candidate = std::filesystem::path(rest.substr(0, colon)) / program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        rest.remove_prefix(std::min(colon + 1, rest.size()));
    }
    return false;
}

} // namespace kve::test
