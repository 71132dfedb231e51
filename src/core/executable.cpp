// The running program's location, for applications that find their data beside it.
#include <string>

#include "kve.h"
#include "platform/platform.h"

extern "C" const char* KVE_GetExecutableDirectory(void)
{
    static const std::string directory = kve::platform::executableDirectory();
    return directory.c_str();
}
