// One-point contacts (a ball on the ground or on another ball) solved four at a time in
// SSE lanes. The contacts of one colour share no moving body, so four of them can be
// solved at once with the same result as one after the other; each lane runs exactly the
// operations of the scalar solver (contact_solver.cpp) in the same order, so the two
// paths agree bit for bit.
#pragma once

#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "physics/solver.h"

namespace kve::physics {

struct Wide {
    __m128 m;
};
struct WideVec3 {
    Wide x, y, z;
};
struct WideRow {
    WideVec3 direction, leverA, leverB, turnA, turnB;
    Wide mass;
};

// The side of a batch that is, in every lane, a static body at rest.
enum class StillSide : uint8_t { None, A, B };

// Four one-point contacts of one colour, their prepared rows and impulses by lane.
struct WideContact {
    int lanes = 0;
    StillSide still = StillSide::None;
    // The lanes' bodies, and where their velocities go: a static body's and an empty
    // lane's to a sink that nothing reads.
    const SolverBody* readA[4] = {};
    const SolverBody* readB[4] = {};
    SolverBody* writeA[4] = {};
    SolverBody* writeB[4] = {};
    size_t constraint[4] = {}; // where the results go back to
    WideRow normalRow, frictionRow[2];
    Wide separation, normalImpulse, largestImpulse;
    Wide friction, frictionImpulse[2];
    Wide rollingMass, rollingLever;
    WideVec3 rollingImpulse;
    Wide inverseMassA, inverseMassB;
    WideVec3 inertiaA[3], inertiaB[3]; // world inverse inertias by column
    Wide restitution, approach;        // read only by the bounce at the end
};

// Batches of the one-point contacts at the front of each colour's range. They are
// prepared in the lanes: the scalar records of batched contacts get only their results.
class WideContacts {
public:
    // `colourStarts` holds where each colour's constraints begin, and their end last;
    // within a colour the one-point contacts come first.
    void build(const std::vector<ContactConstraint>& constraints, std::vector<SolverBody>& bodies,
               const std::vector<size_t>& colourStarts, bool lastColourShared);
    // The first constraint of a colour that the batches leave to the scalar solver.
    size_t scalarStart(size_t colour) const { return scalarStarts_[colour]; }
    // The passes over a colour's batches; the bodies are those given to build.
    void warmStart(size_t colour);
    void solve(size_t colour, float h, bool correct);
    void restitute(size_t colour);
    // Impulses and approach speeds back into the constraints (the manifolds and the
    // contact reports read them there).
    void storeBack(std::vector<ContactConstraint>& constraints) const;
    size_t batchCount() const { return batches_.size(); }

private:
    std::vector<WideContact> batches_;
    std::vector<size_t> batchStarts_, scalarStarts_;
};

} // namespace kve::physics
