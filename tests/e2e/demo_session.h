// The demonstration run as a program for the end-to-end tests: headless in a test's own
// directory, or in a real X session on an Xvfb server of its own, driven with xdotool.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "process.h"
#include "support/test_files.h"

namespace kve::test {

// Without a display the engine picks the offscreen driver by itself.
inline const std::vector<std::string> kHeadless = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};

inline std::string demoPath()
{
    const char* path = std::getenv("KVE_DEMO");
    return path ? path : "";
}

class Demo : public ::testing::Test {
public:
    void SetUp() override { ASSERT_FALSE(demoPath().empty()) << "KVE_DEMO names no demo executable"; }
    // Test builds log every GL error with its pass: a run that raised one fails.
    void TearDown() override
    {
        const auto log = dir / "KVE LogFile.html";
        if (std::filesystem::exists(log)) {
            EXPECT_EQ(readFile(log).find("GL error (pass:"), std::string::npos) << "the demo raised GL errors";
        }
    }

    // Runs the demo headless in the test's own directory, where it writes its log.
    Finished run(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), demoPath());
        const auto here = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        // Generous: on a shared machine a software-rendered bomb frame can take many seconds.
        auto finished = test::run(arguments, kHeadless, 400);
        std::filesystem::current_path(here);
        return finished;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string script(const std::string& name, const std::string& text) const
    {
        writeFile(dir / name, text);
        return path(name);
    }

    TempDir dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

class XvfbSession : public Demo {
protected:
    void SetUp() override
    {
        Demo::SetUp();
        if (!onPath("Xvfb") || !onPath("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/setup installs both); "
                            "the real-session test did not run";
        // Xvfb chooses a free display itself and writes its number to stdout. Two servers
        // starting at the same moment can race for one number; the loser exits, so try again.
        for (int attempt = 0; attempt < 5 && display.empty(); ++attempt) {
            server = std::make_unique<Process>(
                std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten",
                                         "tcp"},
                std::vector<std::string>{}, dir / "xvfb.txt");
            for (int tries = 0; tries < 200 && display.empty(); ++tries) {
                std::smatch number;
                const std::string text = readFile(dir / "xvfb.txt");
                if (std::regex_search(text, number, std::regex("^([0-9]+)\n")))
                    display = std::string(":").append(number[1].first, number[1].second);
                else if (server->wait(0.05))
                    break;
            }
        }
        ASSERT_FALSE(display.empty()) << "Xvfb did not start: " << readFile(dir / "xvfb.txt");
    }
    void TearDown() override
    {
        demo.reset();
        server.reset();
    }

    Finished xdotool(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), "xdotool");
        return test::run(arguments, {"DISPLAY=" + display}, 20);
    }

    std::unique_ptr<Process> server, demo;
    std::string display;
};

} // namespace kve::test
