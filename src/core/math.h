// Internal side of the math unit: the portable scalar forms of the products that the
// public operations compute with SSE where the processor has it. They are the fallback
// elsewhere and the reference the SIMD forms are checked and measured against.
#pragma once

#include "kve.h"

namespace kve::math {

inline constexpr float kDegreesToRadians = 0.017453292519943295f;

namespace scalar {

void transform(KVE_Vector* v, const KVE_Matrix* m);                       // v := M v
void multiply(KVE_Matrix* out, const KVE_Matrix* a, const KVE_Matrix* b); // out := A B, aliasing allowed
bool invert(KVE_Matrix* m);                                               // false (m unchanged) when singular
void multiply(KVE_Quaternion* out, const KVE_Quaternion* p, const KVE_Quaternion* q); // Hamilton p q

} // namespace scalar

} // namespace kve::math
