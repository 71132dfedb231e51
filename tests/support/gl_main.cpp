// main() of the GL test executables: starts the engine before the tests and shuts it
// down after them.
#include <gtest/gtest.h>

#include <cstdio>

#include "kve.h"
#include "support/engine_environment.h"

namespace kve::test {
namespace {

int window = 0;

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        window = KVE_OpenWindow("Korvane Engine tests", kScreenWidth, kScreenHeight, 1);
        ASSERT_NE(window, 0) << "no window could be opened";
        ASSERT_NE(KVE_OpenScreen(window, 0, 0, kScreenWidth, kScreenHeight, 32), 0)
            << "no OpenGL 3.3 surface could be made";
    }
    void TearDown() override { KVE_Shutdown(); }
};

} // namespace

int engineWindow()
{
    return window;
}

} // namespace kve::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new kve::test::EngineEnvironment);
    return RUN_ALL_TESTS();
}
