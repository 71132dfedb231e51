// The record of where resources came from, kept for the reload.
#include "core/resource_sources.h"

#include "core/registry.h"

namespace kve::core {

ResourceSources& resourceSources()
{
    static ResourceSources sources;
    return sources;
}

void recordResourceSource(ResourceLoader loader, int number, const void* record, std::string_view file,
                          std::string_view block, std::string_view dependency, int option0, int option1)
{
    if (staging() || file.empty() || !record)
        return;
    ResourceSource& source = resourceSources()[record];
    source.loader = loader;
    source.number = number;
    source.record = record;
    source.file = file;
    source.block = block;
    source.dependency = dependency;
    source.options[0] = option0;
    source.options[1] = option1;
}

} // namespace kve::core
