// Joints between two dynamic bodies as rows of the iterative solve: each spring becomes a
// soft distance constraint (Catto's soft constraints) solved with the contacts in every
// sub-step, so a stiff spring stays stable where its force, taken once per step, would not.
#pragma once

#include <vector>

#include "physics/solver.h"

namespace kve::physics {

// One joint between two bodies of the solve, with the row's own inverse masses (a point
// body is immovable to contacts but not to its joints). Its line is found again from the
// anchors where the sub-steps have taken them, since a short joint on a swinging body
// turns far within one step.
struct JointRow {
    JointRecord* joint = nullptr;
    int bodyA = 0, bodyB = 0;
    float inverseMassA = 0, inverseMassB = 0;
    Mat3 inverseInertiaA{}, inverseInertiaB{};
    Vec3 leverA, leverB; // anchors from the centres, at the step's start
    Vec3 apart;          // from A's anchor to B's, at the step's start
    float restLength = 0;
    // The sub-step's implicit spring with damper: the mass s = k h (h + c / k) and the
    // share of the stretch taken per unit of time, 1 / (h + c / k).
    float springMass = 0, biasRate = 0;
    float impulse = 0; // of one sub-step, accumulated and carried to the next
};
// Whether the iterative solver takes the joint as a row instead of as a force: both
// objects dynamic with positive finite masses, two distinct objects, a positive finite
// stiffness. Anything else keeps the force.
bool solvedAsRow(const JointRecord& joint);

// The rows of this step's joints whose bodies are both in the solve, warm started from
// the force each joint carried at the end of the last step. The vector is reused.
std::vector<JointRow>& prepareJointRows(const World& w, const IterativeState& state, const SolverSettings& settings);
void warmStartJointRows(const std::vector<JointRow>& rows, std::vector<SolverBody>& bodies);
// One pass over the rows against the bodies' current velocities and motion so far.
void solveJointRows(std::vector<JointRow>& rows, std::vector<SolverBody>& bodies, bool backwards);
// Each joint keeps its last sub-step's impulse as a force (steps may change length) and
// the stretch it started the step with.
void storeJointRows(const std::vector<JointRow>& rows, const SolverSettings& settings);

} // namespace kve::physics
