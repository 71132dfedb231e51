// "KVE LogFile.html": nested titled sections of table rows, appended as the run goes and
// flushed after every record so that a crash loses nothing already written.
#include "core/log.h"

#include <cstdio>
#include <ctime>

namespace kve::log {
namespace {

constexpr const char* kHead =
    "<html><head><style>body,td,pre{font:12px Verdana;margin:0px;} big{font:bold 14px Verdana; "
    "display:block; margin: 8px; } th{font:bold 12px Verdana;border-bottom:solid 1px #C0C0C0;} "
    "td,th{ vertical-align:top; padding:3px 6px;} table{border-collapse:collapse;} i{color:#404040;} "
    "blockquote{margin:0px 16px;}</style></head><body><table>";

struct LogState {
    std::FILE* file = nullptr;
    int level = 0;
    int columns = 0;
    int headerFlag = 0;
};

LogState state;

void write(const std::string& text)
{
    if (!state.file)
        return;
    std::fwrite(text.data(), 1, text.size(), state.file);
    std::fflush(state.file);
}

// The file part of a source unit name: after the last '\' or '/', without a leading
// double quote and up to a closing one.
std::string_view unitFileName(std::string_view unit)
{
    const auto slash = unit.find_last_of("\\/");
    if (slash != std::string_view::npos)
        unit.remove_prefix(slash + 1);
    if (!unit.empty() && unit.front() == '"')
        unit.remove_prefix(1);
    const auto quote = unit.find('"');
    return quote == std::string_view::npos ? unit : unit.substr(0, quote);
}

std::string timeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

} // namespace

std::string colorText(int color)
{
    const auto packed = static_cast<unsigned>(color);
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
    return text;
}

void entry(std::string_view message, int color, std::string_view procedure, std::string_view unit, int line)
{
    const std::string messageText(message), procedureText(procedure), unitText(unit);
    KVE_WriteLogEntry(messageText.c_str(), color, line, 0, unitText.c_str(), procedureText.c_str());
}

void resetForTesting()
{
    if (state.file)
        std::fclose(state.file);
    state = LogState{};
}

} // namespace kve::log

using kve::log::kHead;
using kve::log::state;
using kve::log::write;

extern "C" {

int KVE_OpenLogFile(const char* fileName, int headerFlag, int createFlag)
{
    if (state.file) {
        std::fclose(state.file);
        state.file = nullptr;
    }
    state.headerFlag = headerFlag;
    state.columns = KVE_LOG_TIME | KVE_LOG_LINE;
    if (fileName && createFlag == 1) {
        state.file = std::fopen(fileName, "wb");
    } else if (fileName && createFlag == 0) {
        // Open for writing from the start without truncating, creating a missing file.
        state.file = std::fopen(fileName, "r+b");
        if (!state.file)
            state.file = std::fopen(fileName, "wb");
    }
    if (!state.file)
        return 0;
    if (headerFlag == 0) {
        // The head reaches the disk with the next record's flush.
        std::fputs(kHead, state.file);
        std::fputs("\r\n", state.file);
    }
    return 1;
}

void KVE_SetLogColumns(int columnFlags)
{
    state.columns = columnFlags;
    if (state.file)
        std::fflush(state.file);
}

void KVE_BeginLogSection(const char* title, int color)
{
    ++state.level;
    const int fontSize = 16 - 2 * state.level;
    write("</table><big style='color:" + kve::log::colorText(color) + ";font-size:" + std::to_string(fontSize) +
          "px;'>" + (title ? title : "") + "</big><blockquote><table>");
}

void KVE_EndLogSection(void)
{
    --state.level;
    write("</table></blockquote><table><br>");
}

void KVE_WriteLogEntry(const char* message, int color, int sourceLine, int /*reserved*/, const char* sourceUnit,
                       const char* procedure)
{
    if (!state.file)
        return;
    std::string row = "<tr><td>\x95</td>";
    if (state.columns & KVE_LOG_TIME)
        row += "<td>" + kve::log::timeOfDay() + "</td>";
    if (state.columns & KVE_LOG_UNIT)
        row += "<td>" + std::string(kve::log::unitFileName(sourceUnit ? sourceUnit : "")) + "</td>";
    if (state.columns & KVE_LOG_PROCEDURE)
        row += "<td>" + std::string(procedure ? procedure : "") + "</td>";
    if (state.columns & KVE_LOG_LINE)
        row += sourceLine != 0 ? "<td>" + std::to_string(sourceLine) + "</td>" : std::string("<td></td>");
    row += "<td colspan=2><i style='color:" + kve::log::colorText(color) + ";'>" + (message ? message : "") +
           "</i></td></tr>";
    write(row);
}

void KVE_WriteLogBreak(void)
{
    write("<br>");
}

} // extern "C"
