// A fixture for tests that check what the engine logs: each test writes into a fresh log
// file with only the procedure column, so rows can be compared byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/log.h"
#include "kve.h"
#include "support/test_files.h"

namespace kve::test {

class LogCaptureTest : public ::testing::Test {
protected:
    static constexpr const char* kLogPath = "captured_log.html";

    void SetUp() override
    {
        log::resetForTesting();
        ASSERT_EQ(KVE_OpenLogFile(kLogPath, 1, 1), 1);
        KVE_SetLogColumns(KVE_LOG_PROCEDURE);
    }
    void TearDown() override { log::resetForTesting(); }

    static std::string capturedLog() { return readFile(kLogPath); }

    // One row as written with only the procedure column; `color` is the "#RRGGBB" text.
    static std::string logRow(const std::string& message, const std::string& color, const std::string& procedure)
    {
        return "<tr><td>\x95</td><td>" + procedure + "</td><td colspan=2><i style='color:" + color + ";'>" + message +
               "</i></td></tr>";
    }
};

} // namespace kve::test
