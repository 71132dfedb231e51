// The engine started once per GL test executable: a hidden 1600x900 window on the
// offscreen driver with the engine running on its whole client area.
#pragma once

namespace kve::test {

constexpr int kScreenWidth = 1600;
constexpr int kScreenHeight = 900;

// The window the shared engine runs in.
int engineWindow();

} // namespace kve::test
