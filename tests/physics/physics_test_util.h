// Shared fixture of the physics tests: a clean world without phase pauses, meshes made
// from plain triangle lists, and objects placed with a body and a mass.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <vector>

#include "kve.h"
#include "physics/physics.h"
#include "scene/object.h"

namespace kve::test {

inline constexpr float kPhysicsTolerance = 1e-4f;

inline void expectNear3(const KVE_Vector& v, float x, float y, float z, float tolerance = kPhysicsTolerance)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

class PhysicsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        physics::releaseAll();
        physics::setPhasePause(false);
        KVE_InitPhysics();
    }
    void TearDown() override
    {
        scene::releaseObjects();
        physics::releaseAll();
        for (int mesh : meshes)
            KVE_ReleaseMesh(mesh);
    }

    // A mesh of the given positions and triangles (vertex indices), under `number`.
    int makeMesh(int number, std::initializer_list<KVE_Vector> positions, std::initializer_list<int> triangles)
    {
        KVE_CreateMesh(number, "");
        KVE_SetMeshVertexCount(number, static_cast<int>(positions.size()));
        int i = 0;
        for (const KVE_Vector& p : positions)
            KVE_SetMeshVertex(number, i++, p.x, p.y, p.z, 1.0f);
        KVE_SetMeshIndexCount(number, static_cast<int>(triangles.size()));
        std::vector<int> indices(triangles);
        for (size_t t = 0; t + 2 < indices.size(); t += 3)
            KVE_SetMeshTriangle(number, static_cast<int>(t / 3), indices[t], indices[t + 1], indices[t + 2]);
        meshes.push_back(number);
        return number;
    }

    // The ground: two triangles spanning -1..1 in x and z at y = 0, facing up.
    int makePlaneMesh(int number)
    {
        return makeMesh(number, {{-1, 0, -1, 1}, {1, 0, -1, 1}, {-1, 0, 1, 1}, {1, 0, 1, 1}}, {0, 2, 1, 1, 2, 3});
    }

    // A unit cube (-1..1), 8 shared corners, outward triangles.
    int makeCubeMesh(int number)
    {
        return makeMesh(number,
                        {{-1, -1, -1, 1}, {1, -1, -1, 1}, {-1, 1, -1, 1}, {1, 1, -1, 1}, {-1, -1, 1, 1},
                         {1, -1, 1, 1}, {-1, 1, 1, 1}, {1, 1, 1, 1}},
                        {1, 2, 3, 1, 0, 2, 4, 7, 6, 4, 5, 7, 0, 6, 2, 0, 4, 6, 5, 3, 7, 5, 1, 3, 0, 5, 4, 0, 1, 5, 6, 3,
                         2, 6, 7, 3});
    }

    // An object of `mesh` at (x, y, z) with `body` attached and `mass`; the scale is set
    // before the body so that the inertia follows it.
    KVE_OBJECT* place(int mesh, float x, float y, float z, int body, float mass, KVE_Vector scale = {1, 1, 1, 0})
    {
        KVE_OBJECT* object = KVE_CreateObject(-1, mesh, -1, "", 0, 0);
        KVE_ScaleObject(object->number, scale.x, scale.y, scale.z, 0);
        KVE_MoveObject(object->number, x, y, z, 0);
        KVE_SetObjectBody(object->number, body, 1.0f);
        KVE_SetObjectMass(object->number, mass);
        return object;
    }

    int anyMesh()
    {
        if (plainMesh < 0)
            plainMesh = makeMesh(40, {{0, 0, 0, 1}}, {});
        return plainMesh;
    }

    std::vector<int> meshes;
    int plainMesh = -1;
};

// The demonstration's bodies under gravity at 60 steps per second: its cube (-0.5..0.5,
// mesh 31) with a box body (7), and planks made of it.
inline constexpr KVE_Vector kPlankScale{1.0f, 0.5f, 0.2f, 0.0f};

class DemoBodiesTest : public PhysicsTest {
protected:
    void SetUp() override
    {
        PhysicsTest::SetUp();
        KVE_SetGravity(0, -9.81f, 0);
        const float h = 0.5f;
        cube = makeMesh(31,
                        {{-h, -h, -h, 1}, {h, -h, -h, 1}, {-h, h, -h, 1}, {h, h, -h, 1}, {-h, -h, h, 1}, {h, -h, h, 1},
                         {-h, h, h, 1}, {h, h, h, 1}},
                        {1, 2, 3, 1, 0, 2, 4, 7, 6, 4, 5, 7, 0, 6, 2, 0, 4, 6, 5, 3, 7, 5, 1, 3, 0, 5, 4, 0, 1, 5, 6, 3,
                         2, 6, 7, 3});
        KVE_CreateBodyFromMesh(7, cube, KVE_BODY_BOX, 1.0f, "");
    }

    // A plank laid flat (its 0.2 thickness upright), turned `yaw` degrees about the vertical.
    KVE_OBJECT* flatPlank(float x, float y, float z, float yaw = 0.0f)
    {
        KVE_OBJECT* plank = place(cube, x, y, z, 7, 1.0f, kPlankScale);
        KVE_RotateObject(plank->number, 90, yaw, 0, 0);
        return plank;
    }

    // Steps `seconds` at 60 Hz, calling `check` after every step; returns how far the total
    // energy rose above the start at its highest.
    static float stepFor(float seconds, const std::function<void()>& check)
    {
        const float start = KVE_GetPhysicsEnergy(15);
        float highest = start;
        for (int i = 0; i < static_cast<int>(seconds * 60.0f + 0.5f); ++i) {
            physics::step(1.0f / 60.0f);
            highest = std::max(highest, KVE_GetPhysicsEnergy(15));
            check();
        }
        return highest - start;
    }

    int cube = -1;
};

} // namespace kve::test
