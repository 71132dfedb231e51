// Joints between two dynamic bodies as rows of the iterative solve: each spring becomes a
// soft distance constraint (Catto's soft constraints) solved with the contacts in every
// sub-step, so a stiff spring stays stable where its force, taken once per step, would not.
#pragma once

#include <vector>

#include "physics/solver.h"

namespace kve::physics {

// One joint along the line from A's anchor to B's, with the row's own inverse masses (a
// point body is immovable to contacts but not to its joints).
struct JointRow {
    JointRecord* joint = nullptr;
    int bodyA = 0, bodyB = 0;
    float inverseMassA = 0, inverseMassB = 0;
    ConstraintRow row;
    float stretch = 0; // anchors' distance less the rest length, at the step's start
    // The sub-step's implicit spring with damper: impulse change
    // -softMass (speed + biasRate C) - impulseScale impulse.
    float biasRate = 0, softMass = 0, impulseScale = 0;
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
// the stretch this step saw.
void storeJointRows(const std::vector<JointRow>& rows, const SolverSettings& settings);

} // namespace kve::physics
