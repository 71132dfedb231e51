#include "platform/context_extensions.h"

#include <iterator>

#include "platform/platform.h"

namespace kve::platform {
namespace {

ContextExtension table[] = {
    {"glXSwapIntervalEXT", nullptr},          {"glXSwapIntervalMESA", nullptr},
    {"glXGetSwapIntervalMESA", nullptr},      {"glXSwapIntervalSGI", nullptr},
    {"glXCreateContextAttribsARB", nullptr},  {"glXGetSyncValuesOML", nullptr},
    {"glXWaitForSbcOML", nullptr},            {"glXQueryCurrentRendererIntegerMESA", nullptr},
    {"eglSwapInterval", nullptr},             {"eglSwapBuffersWithDamageKHR", nullptr},
    {"eglGetPlatformDisplayEXT", nullptr},    {"eglCreateSyncKHR", nullptr},
    {"eglClientWaitSyncKHR", nullptr},        {"eglDestroySyncKHR", nullptr},
    {"eglQueryDisplayAttribEXT", nullptr},    {"eglQueryDeviceStringEXT", nullptr},
};

} // namespace

int loadContextExtensions()
{
    int found = 0;
    for (ContextExtension& entry : table) {
        entry.address = glProcAddress(entry.name);
        found += entry.address != nullptr;
    }
    return found;
}

const ContextExtension* contextExtensions(int* count)
{
    if (count)
        *count = static_cast<int>(std::size(table));
    return table;
}

} // namespace kve::platform
