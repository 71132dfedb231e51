// Helpers for the shader and renderer GL suites: the log's message texts, and small
// programs made from literal GLSL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kve.h"
#include "support/test_files.h"

namespace kve::test {

// The visible text of each entry row and section title in `log`, in order.
inline std::vector<std::string> logTexts(const std::string& log)
{
    std::vector<std::string> texts;
    const std::string open = ";'>";
    for (size_t at = log.find(open); at != std::string::npos; at = log.find(open, at + 1)) {
        const size_t start = at + open.size();
        texts.push_back(log.substr(start, log.find('<', start) - start));
    }
    return texts;
}

// What the log gained since `mark` (a size taken with readLog().size()).
inline std::string logSince(size_t mark)
{
    const std::string log = readLog();
    return mark <= log.size() ? log.substr(mark) : std::string();
}

inline void catchStages(int shader, std::string_view vertex, std::string_view fragment)
{
    KVE_CatchVertexShader(shader, vertex.data(), vertex.data() + vertex.size(), 0);
    KVE_CatchFragmentShader(shader, fragment.data(), fragment.data() + fragment.size(), 0);
}

inline ShaderProgram* buildReflected(int kind, int queue, std::string_view vertex, std::string_view fragment,
                                     const char* name)
{
    return KVE_BuildReflectedShader(kind, 1, queue, vertex.data(), vertex.data() + vertex.size(), fragment.data(),
                                    fragment.data() + fragment.size(), name);
}

} // namespace kve::test
