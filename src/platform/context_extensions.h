// The platform's table of context extension entry points (swap control and the like),
// looked up by name like the GL table; an entry the system lacks stays null.
#pragma once

namespace kve::platform {

struct ContextExtension {
    const char* name;
    void* address;
};

// Looks every name up again; returns how many were found.
int loadContextExtensions();
// The table (`count` receives its length).
const ContextExtension* contextExtensions(int* count);

} // namespace kve::platform
