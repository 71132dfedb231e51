// Fuzzes the ".kvb" body file reader: whatever it accepts must have every edge and face
// index inside its vertex list, and freeing the body must leave the registry as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_file.h"
#include "physics/physics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = kve::fuzz::writeInput(data, size, ".kvb");
    if (path.empty())
        return 0;
    auto* body = static_cast<kve::physics::BodyRecord*>(KVE_LoadBody(KVE_AUTO_ID, path.c_str(), "fuzz"));
    if (!body)
        return 0;
    const kve::physics::BodyGeometry* geometry = body->root ? body->root->geometry.get() : nullptr;
    if (!geometry || !geometry->indicesValid())
        std::abort();
    const int number = body->number;
    KVE_FreeBody(number);
    if (KVE_GetBody(number))
        std::abort();
    return 0;
}
