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
    void TearDown() override
    {
        // Every GL error is also in the log, with the pass it happened in.
        EXPECT_EQ(KVE_GetGLErrorCount(), 0) << "GL errors were raised; see the log";
        KVE_Shutdown();
    }
};

// Names the tests during which GL errors were raised.
class GLErrorListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { before_ = KVE_GetGLErrorCount(); }
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        if (const int raised = KVE_GetGLErrorCount() - before_)
            std::fprintf(stderr, "%d GL error(s) during %s.%s\n", raised, test.test_suite_name(), test.name());
    }
    int before_ = 0;
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
    ::testing::UnitTest::GetInstance()->listeners().Append(new kve::test::GLErrorListener);
    return RUN_ALL_TESTS();
}
