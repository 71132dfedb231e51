// Helpers for the scene tests: tolerant comparisons and a bare placeable record with a
// scale, placed through the same item code that objects use.
#pragma once

#include <gtest/gtest.h>

#include "kve.h"
#include "scene/item.h"

namespace kve::test {

inline constexpr float kTolerance = 1e-4f;

inline void expectVector(const KVE_Vector& v, float x, float y, float z, float w, float tolerance = kTolerance)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
    EXPECT_NEAR(v.w, w, tolerance);
}

// The three axes of a matrix (columns 0..2), as directions.
inline void expectAxes(const KVE_Matrix& m, const KVE_Vector (&axes)[3])
{
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("axis " + std::to_string(i));
        expectVector(m.c[i], axes[i].x, axes[i].y, axes[i].z, 0.0f);
    }
}

inline KVE_Matrix rotationMatrix(const KVE_Quaternion& q)
{
    KVE_Matrix m;
    return *KVE_QuaternionToMatrix(&q, &m);
}

struct TestItem {
    KVE_ITEM item{};
    KVE_Vector position{0, 0, 0, 1};
    KVE_Quaternion rotation{0, 0, 0, 1};
    KVE_Matrix full{};
    KVE_Matrix rigid{};
    KVE_Vector scale{1, 1, 1, 0};

    TestItem()
    {
        scene::initItem(item, KVE_ITEM_NODE, &full, &rigid, &rotation);
        scene::rebuildMatrices(placement());
    }
    ~TestItem() { scene::releaseItem(item); }
    TestItem(const TestItem&) = delete;
    TestItem& operator=(const TestItem&) = delete;

    scene::Placement placement() { return {&item, &position, &scale}; }
    void place(float x, float y, float z, float ax, float ay, float az, float s)
    {
        scale = {s, s, s, 0};
        ASSERT_TRUE(scene::rotateItem(placement(), ax, ay, az, 0));
        ASSERT_TRUE(scene::moveItem(placement(), x, y, z, 0));
    }
};

} // namespace kve::test
