#include <gtest/gtest.h>

#include <filesystem>

#include "core/log.h"
#include "kve.h"
#include "support/test_files.h"

namespace {

using kve::test::readFile;

constexpr const char* kHead =
    "<html><head><style>body,td,pre{font:12px Verdana;margin:0px;} big{font:bold 14px Verdana; "
    "display:block; margin: 8px; } th{font:bold 12px Verdana;border-bottom:solid 1px #C0C0C0;} "
    "td,th{ vertical-align:top; padding:3px 6px;} table{border-collapse:collapse;} i{color:#404040;} "
    "blockquote{margin:0px 16px;}</style></head><body><table>\r\n";

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { kve::log::resetForTesting(); }
    void TearDown() override { kve::log::resetForTesting(); }
    const char* path = "log_test.html";
};

TEST_F(LogTest, FreshRunTruncatesAndStartsWithHeadAndCrLf)
{
    kve::test::writeFile(path, std::string(5000, 'x'));
    ASSERT_EQ(KVE_OpenLogFile(path, 0, 1), 1);
    KVE_WriteLogBreak();
    EXPECT_EQ(readFile(path), std::string(kHead) + "<br>");
}

TEST_F(LogTest, HeaderFlagAndCreateFlagsSelectWhatIsWritten)
{
    ASSERT_EQ(KVE_OpenLogFile(path, 1, 1), 1);
    KVE_WriteLogBreak();
    EXPECT_EQ(readFile(path), "<br>") << "header flag 1 writes no head";

    // Create flag 0 writes from the start of an existing file without truncating it.
    kve::test::writeFile(path, "0123456789");
    ASSERT_EQ(KVE_OpenLogFile(path, 1, 0), 1);
    KVE_WriteLogBreak();
    EXPECT_EQ(readFile(path), "<br>456789");

    // Any other create flag opens nothing, and nothing is written afterwards.
    EXPECT_EQ(KVE_OpenLogFile(path, 0, 2), 0);
    KVE_WriteLogEntry("lost", 0, 0, 0, "", "");
    EXPECT_EQ(readFile(path), "<br>456789");
}

TEST_F(LogTest, SectionFontSizesFollowTheLevelEvenBelowZero)
{
    ASSERT_EQ(KVE_OpenLogFile(path, 1, 1), 1);
    KVE_BeginLogSection("A", 0x00D06600);
    KVE_BeginLogSection("B", 0);
    KVE_EndLogSection();
    KVE_EndLogSection();
    KVE_BeginLogSection("", 0);
    KVE_EndLogSection();
    KVE_EndLogSection();
    KVE_EndLogSection();
    KVE_BeginLogSection("C", 0);
    const std::string tail = "</table></blockquote><table><br>";
    EXPECT_EQ(readFile(path),
              "</table><big style='color:#0066D0;font-size:14px;'>A</big><blockquote><table>"
              "</table><big style='color:#000000;font-size:12px;'>B</big><blockquote><table>" +
                  tail + tail +
                  "</table><big style='color:#000000;font-size:14px;'></big><blockquote><table>" + tail + tail +
                  tail + "</table><big style='color:#000000;font-size:18px;'>C</big><blockquote><table>");
}

TEST_F(LogTest, EntryRowCellsFollowTheColumnFlags)
{
    ASSERT_EQ(KVE_OpenLogFile(path, 1, 1), 1);
    KVE_SetLogColumns(10);
    KVE_WriteLogEntry("Hello", 0x00D06600, 0, 0, "", "KVE_Init");
    EXPECT_EQ(readFile(path),
              "<tr><td>\x95</td><td></td><td></td><td colspan=2><i style='color:#0066D0;'>Hello</i></td></tr>");

    ASSERT_EQ(KVE_OpenLogFile(path, 1, 1), 1);
    KVE_SetLogColumns(KVE_LOG_UNIT | KVE_LOG_PROCEDURE | KVE_LOG_LINE);
    KVE_WriteLogEntry("<b>raw</b>", static_cast<int>(0xFF0000FF), 44, 0, "C:\\Source\\\"KVE GBuffer\".cpp",
                      "KVE_InitGBuffer");
    EXPECT_EQ(readFile(path), "<tr><td>\x95</td><td>KVE GBuffer</td><td>KVE_InitGBuffer</td><td>44</td>"
                              "<td colspan=2><i style='color:#FF0000;'><b>raw</b></i></td></tr>");
}

TEST_F(LogTest, OpeningSetsColumnsNineWithTheTimeOfDay)
{
    ASSERT_EQ(KVE_OpenLogFile(path, 1, 1), 1);
    KVE_WriteLogEntry("m", 0, 7, 0, "unit", "proc");
    const std::string row = readFile(path);
    // "<tr><td>\x95</td><td>hh:mm:ss</td><td>7</td>..."
    ASSERT_GE(row.size(), 30u);
    const std::string time = row.substr(18, 8);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(time[0])) && time[2] == ':' && time[5] == ':') << row;
    EXPECT_EQ(row.substr(26), "</td><td>7</td><td colspan=2><i style='color:#000000;'>m</i></td></tr>");
}

TEST_F(LogTest, ColoursAreRedGreenBlueWithoutAlpha)
{
    EXPECT_EQ(kve::log::colorText(0x00D06600), "#0066D0");
    EXPECT_EQ(kve::log::colorText(0), "#000000");
    EXPECT_EQ(kve::log::colorText(static_cast<int>(0xFF0000FF)), "#FF0000");
    EXPECT_EQ(kve::log::colorText(static_cast<int>(0xFFFF0000)), "#0000FF");
    EXPECT_EQ(kve::log::colorText(static_cast<int>(0x12345678)), "#785634");
}

TEST_F(LogTest, EveryRecordReachesTheFileBeforeTheNextCall)
{
    ASSERT_EQ(KVE_OpenLogFile(path, 0, 1), 1);
    // The head waits in the buffer until the first record flushes it.
    KVE_BeginLogSection("S", 0);
    const auto afterSection = std::filesystem::file_size(path);
    EXPECT_EQ(afterSection, readFile(path).size());
    EXPECT_NE(readFile(path).find("<big"), std::string::npos);
    KVE_WriteLogEntry("one", 0, 0, 0, "", "");
    EXPECT_NE(readFile(path).find(">one<"), std::string::npos);
    KVE_EndLogSection();
    EXPECT_EQ(readFile(path).substr(readFile(path).size() - 4), "<br>");
}

TEST_F(LogTest, UnwritablePathLeavesTheLogClosed)
{
    EXPECT_EQ(KVE_OpenLogFile("no_such_directory/sub/log.html", 0, 1), 0);
    KVE_BeginLogSection("x", 0);
    KVE_WriteLogEntry("x", 0, 0, 0, "", "");
    KVE_EndLogSection();
    KVE_WriteLogBreak();
    EXPECT_FALSE(std::filesystem::exists("no_such_directory"));
    EXPECT_EQ(KVE_OpenLogFile(nullptr, 0, 1), 0);
}

} // namespace
