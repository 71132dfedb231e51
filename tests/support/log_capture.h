// A fixture for tests that check what the engine logs: each test writes into a fresh log
// file with only the procedure column, so rows can be compared byte for byte.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/log.h"
#include "kve.h"
#include "support/test_files.h"

namespace kve::test {

class LogCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log::resetForTesting();
        ASSERT_EQ(KVE_OpenLogFile(logPath().c_str(), 1, 1), 1);
        KVE_SetLogColumns(KVE_LOG_PROCEDURE);
    }
    void TearDown() override
    {
        log::resetForTesting();
        std::error_code ignored;
        std::filesystem::remove(logPath(), ignored);
    }

    // In the system's temporary directory, one per test process, so that a test run from
    // any directory (the source tree's too) leaves nothing behind there.
    static const std::string& logPath()
    {
        static const std::string path =
            (std::filesystem::temp_directory_path() / ("kve_captured_log_" + std::to_string(getpid()) + ".html"))
                .string();
        return path;
    }

    static std::string capturedLog() { return readFile(logPath()); }

    // One row as written with only the procedure column; `color` is the "#RRGGBB" text.
    static std::string logRow(const std::string& message, const std::string& color, const std::string& procedure)
    {
        return "<tr><td>\x95</td><td>" + procedure + "</td><td colspan=2><i style='color:" + color + ";'>" + message +
               "</i></td></tr>";
    }
};

} // namespace kve::test
