// Vectors, column-major matrices, quaternions and packed colours, plus the per-thread
// pool of temporary vectors. Matrix and quaternion products use four-wide SSE with
// unaligned loads; the scalar forms below give the same results within float rounding.
#include "core/math.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#define KVE_MATH_SSE 1
#include <xmmintrin.h>
#endif

namespace kve::math {
namespace scalar {

void transform(KVE_Vector* v, const KVE_Matrix* m)
{
    const KVE_Vector in = *v;
    const KVE_Vector* c = m->c;
    v->x = in.x * c[0].x + in.y * c[1].x + in.z * c[2].x + in.w * c[3].x;
    v->y = in.x * c[0].y + in.y * c[1].y + in.z * c[2].y + in.w * c[3].y;
    v->z = in.x * c[0].z + in.y * c[1].z + in.z * c[2].z + in.w * c[3].z;
    v->w = in.x * c[0].w + in.y * c[1].w + in.z * c[2].w + in.w * c[3].w;
}

void multiply(KVE_Matrix* out, const KVE_Matrix* a, const KVE_Matrix* b)
{
    KVE_Matrix product = *b;
    for (KVE_Vector& column : product.c)
        transform(&column, a);
    *out = product;
}

// Laplace expansion by the 2x2 minors of the first two and the last two rows. The array
// is read row by row, which inverts the transpose; transposing back is free because
// (M^T)^-1 = (M^-1)^T.
bool invert(KVE_Matrix* m)
{
    float a[4][4];
    static_assert(sizeof a == sizeof *m);
    std::copy_n(&m->c[0].x, 16, &a[0][0]);
    // s: minors of rows 0 and 1, c: of rows 2 and 3, for the column pairs below.
    constexpr int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    float s[6], c[6];
    for (int k = 0; k < 6; ++k) {
        const int i = kPairs[k][0], j = kPairs[k][1];
        s[k] = a[0][i] * a[1][j] - a[1][i] * a[0][j];
        c[k] = a[2][i] * a[3][j] - a[3][i] * a[2][j];
    }
    const float det = s[0] * c[5] - s[1] * c[4] + s[2] * c[3] + s[3] * c[2] - s[4] * c[1] + s[5] * c[0];
    if (det == 0.0f || !std::isfinite(det))
        return false;
    const float r = 1.0f / det;
    const float b[16] = {
        (a[1][1] * c[5] - a[1][2] * c[4] + a[1][3] * c[3]) * r,
        (-a[0][1] * c[5] + a[0][2] * c[4] - a[0][3] * c[3]) * r,
        (a[3][1] * s[5] - a[3][2] * s[4] + a[3][3] * s[3]) * r,
        (-a[2][1] * s[5] + a[2][2] * s[4] - a[2][3] * s[3]) * r,
        (-a[1][0] * c[5] + a[1][2] * c[2] - a[1][3] * c[1]) * r,
        (a[0][0] * c[5] - a[0][2] * c[2] + a[0][3] * c[1]) * r,
        (-a[3][0] * s[5] + a[3][2] * s[2] - a[3][3] * s[1]) * r,
        (a[2][0] * s[5] - a[2][2] * s[2] + a[2][3] * s[1]) * r,
        (a[1][0] * c[4] - a[1][1] * c[2] + a[1][3] * c[0]) * r,
        (-a[0][0] * c[4] + a[0][1] * c[2] - a[0][3] * c[0]) * r,
        (a[3][0] * s[4] - a[3][1] * s[2] + a[3][3] * s[0]) * r,
        (-a[2][0] * s[4] + a[2][1] * s[2] - a[2][3] * s[0]) * r,
        (-a[1][0] * c[3] + a[1][1] * c[1] - a[1][2] * c[0]) * r,
        (a[0][0] * c[3] - a[0][1] * c[1] + a[0][2] * c[0]) * r,
        (-a[3][0] * s[3] + a[3][1] * s[1] - a[3][2] * s[0]) * r,
        (a[2][0] * s[3] - a[2][1] * s[1] + a[2][2] * s[0]) * r,
    };
    std::copy_n(b, 16, &m->c[0].x);
    return true;
}

void multiply(KVE_Quaternion* out, const KVE_Quaternion* p, const KVE_Quaternion* q)
{
    const KVE_Quaternion a = *p, b = *q;
    out->x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    out->y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
    out->z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
    out->w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
}

} // namespace scalar

namespace {

#ifdef KVE_MATH_SSE
namespace sse {

inline __m128 load(const float* p)
{
    return _mm_loadu_ps(p);
}

inline void store(float* p, __m128 v)
{
    _mm_storeu_ps(p, v);
}

// Lanes (X, Y, Z, W) of v.
template <int X, int Y, int Z, int W>
inline __m128 swizzle(__m128 v)
{
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(W, Z, Y, X));
}

// Lanes X, Y of a and Z, W of b.
template <int X, int Y, int Z, int W>
inline __m128 shuffle(__m128 a, __m128 b)
{
    return _mm_shuffle_ps(a, b, _MM_SHUFFLE(W, Z, Y, X));
}

inline float lane0(__m128 v)
{
    return _mm_cvtss_f32(v);
}

// x.x c0 + x.y c1 + x.z c2 + x.w c3: a column transformed by the matrix whose columns are c.
inline __m128 transform(__m128 x, const __m128 c[4])
{
    __m128 sum = _mm_mul_ps(swizzle<0, 0, 0, 0>(x), c[0]);
    sum = _mm_add_ps(sum, _mm_mul_ps(swizzle<1, 1, 1, 1>(x), c[1]));
    sum = _mm_add_ps(sum, _mm_mul_ps(swizzle<2, 2, 2, 2>(x), c[2]));
    return _mm_add_ps(sum, _mm_mul_ps(swizzle<3, 3, 3, 3>(x), c[3]));
}

inline void loadMatrix(const KVE_Matrix* m, __m128 c[4])
{
    for (int i = 0; i < 4; ++i)
        c[i] = load(&m->c[i].x);
}

// 2x2 matrices held row by row in one register (m00, m01, m10, m11); A# is the adjugate,
// A# A = |A| I.
inline __m128 mat2Multiply(__m128 a, __m128 b) // A B
{
    return _mm_add_ps(_mm_mul_ps(swizzle<0, 0, 2, 2>(a), swizzle<0, 1, 0, 1>(b)),
                      _mm_mul_ps(swizzle<1, 1, 3, 3>(a), swizzle<2, 3, 2, 3>(b)));
}

inline __m128 mat2AdjugateMultiply(__m128 a, __m128 b) // A# B
{
    return _mm_sub_ps(_mm_mul_ps(swizzle<3, 3, 0, 0>(a), b),
                      _mm_mul_ps(swizzle<1, 1, 2, 2>(a), swizzle<2, 3, 0, 1>(b)));
}

inline __m128 mat2MultiplyAdjugate(__m128 a, __m128 b) // A B#
{
    return _mm_sub_ps(_mm_mul_ps(a, swizzle<3, 0, 3, 0>(b)),
                      _mm_mul_ps(swizzle<1, 0, 3, 2>(a), swizzle<2, 1, 2, 1>(b)));
}

// Blockwise inverse with 2x2 blocks M = [A B; C D] (the array read row by row, as in the
// scalar form): M^-1 = [X# Y#; Z# W#] / |M| with X = |D|A - B(D#C), W = |A|D - C(A#B),
// Y = |B|C - D(A#B)#, Z = |C|B - A(D#C)# and |M| = |A||D| + |B||C| - tr((A#B)(D#C)).
bool invert(KVE_Matrix* m)
{
    const __m128 r0 = load(&m->c[0].x), r1 = load(&m->c[1].x), r2 = load(&m->c[2].x), r3 = load(&m->c[3].x);
    const __m128 a = _mm_movelh_ps(r0, r1), b = _mm_movehl_ps(r1, r0);
    const __m128 c = _mm_movelh_ps(r2, r3), d = _mm_movehl_ps(r3, r2);
    // (|A|, |B|, |C|, |D|)
    const __m128 dets = _mm_sub_ps(_mm_mul_ps(shuffle<0, 2, 0, 2>(r0, r2), shuffle<1, 3, 1, 3>(r1, r3)),
                                   _mm_mul_ps(shuffle<1, 3, 1, 3>(r0, r2), shuffle<0, 2, 0, 2>(r1, r3)));
    const __m128 detA = swizzle<0, 0, 0, 0>(dets), detB = swizzle<1, 1, 1, 1>(dets);
    const __m128 detC = swizzle<2, 2, 2, 2>(dets), detD = swizzle<3, 3, 3, 3>(dets);
    const __m128 dc = mat2AdjugateMultiply(d, c);
    const __m128 ab = mat2AdjugateMultiply(a, b);
    const __m128 x = _mm_sub_ps(_mm_mul_ps(detD, a), mat2Multiply(b, dc));
    const __m128 w = _mm_sub_ps(_mm_mul_ps(detA, d), mat2Multiply(c, ab));
    const __m128 y = _mm_sub_ps(_mm_mul_ps(detB, c), mat2MultiplyAdjugate(d, ab));
    const __m128 z = _mm_sub_ps(_mm_mul_ps(detC, b), mat2MultiplyAdjugate(a, dc));

    __m128 trace = _mm_mul_ps(ab, swizzle<0, 2, 1, 3>(dc));
    trace = _mm_add_ps(trace, _mm_movehl_ps(trace, trace));
    trace = _mm_add_ss(trace, swizzle<1, 1, 1, 1>(trace));
    const float det = lane0(_mm_mul_ss(detA, detD)) + lane0(_mm_mul_ss(detB, detC)) - lane0(trace);
    if (det == 0.0f || !std::isfinite(det))
        return false;

    // The adjugate of each block divided by |M|: (m11, -m01, -m10, m00) / |M|.
    const __m128 scale = _mm_div_ps(_mm_setr_ps(1.0f, -1.0f, -1.0f, 1.0f), _mm_set1_ps(det));
    const __m128 xa = _mm_mul_ps(swizzle<3, 1, 2, 0>(x), scale);
    const __m128 ya = _mm_mul_ps(swizzle<3, 1, 2, 0>(y), scale);
    const __m128 za = _mm_mul_ps(swizzle<3, 1, 2, 0>(z), scale);
    const __m128 wa = _mm_mul_ps(swizzle<3, 1, 2, 0>(w), scale);
    store(&m->c[0].x, _mm_movelh_ps(xa, ya));
    store(&m->c[1].x, _mm_movehl_ps(ya, xa));
    store(&m->c[2].x, _mm_movelh_ps(za, wa));
    store(&m->c[3].x, _mm_movehl_ps(wa, za));
    return true;
}

} // namespace sse
#endif

// Per-thread pool of temporary vectors: slots are handed out from the top down, and
// `free` counts the slots below the last one taken that are still free.
constexpr int kTempSlots = 128;

struct TempPool {
    KVE_Vector slots[kTempSlots];
    int free = 0;
};

thread_local TempPool tempPool;

} // namespace
} // namespace kve::math

namespace math = kve::math;

extern "C" {

KVE_Vector* KVE_SetVector(KVE_Vector* v, float x, float y, float z, float w)
{
    *v = KVE_Vector{x, y, z, w};
    return v;
}

KVE_Quaternion* KVE_SetQuaternion(KVE_Quaternion* q, float x, float y, float z, float w)
{
    *q = KVE_Quaternion{x, y, z, w};
    return q;
}

KVE_Vector* KVE_AddVector(KVE_Vector* a, const KVE_Vector* b)
{
    a->w = a->w + b->w - a->w * b->w;
    return KVE_AddVectorXYZ(a, b);
}

KVE_Vector* KVE_AddVectorXYZ(KVE_Vector* a, const KVE_Vector* b)
{
    return KVE_AddScaledVector(a, b, 1.0f);
}

KVE_Vector* KVE_SubVector(KVE_Vector* out, const KVE_Vector* a, const KVE_Vector* b)
{
    const KVE_Vector p = *a, q = *b;
    *out = KVE_Vector{p.x - q.x, p.y - q.y, p.z - q.z, p.w + q.w - 2.0f * p.w * q.w};
    return out;
}

KVE_Vector* KVE_AddScaledVector(KVE_Vector* a, const KVE_Vector* b, float s)
{
    a->x += s * b->x;
    a->y += s * b->y;
    a->z += s * b->z;
    return a;
}

KVE_Vector* KVE_ScaleVector(KVE_Vector* a, float s)
{
    a->x *= s;
    a->y *= s;
    a->z *= s;
    return a;
}

KVE_Vector* KVE_NegateVector(KVE_Vector* a)
{
    return KVE_ScaleVector(a, -1.0f);
}

float KVE_DotVector(const KVE_Vector* a, const KVE_Vector* b)
{
    if (!b)
        b = a;
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

KVE_Vector* KVE_NormalizeVector(KVE_Vector* a)
{
    const float length = std::sqrt(KVE_DotVector(a, nullptr));
    if (!(length > 0.0f))
        return KVE_SetVector(a, 0.0f, 0.0f, 0.0f, 0.0f);
    a->w = 0.0f;
    return KVE_ScaleVector(a, 1.0f / length);
}

KVE_Vector* KVE_TransformVector(KVE_Vector* v, const KVE_Matrix* m)
{
#ifdef KVE_MATH_SSE
    __m128 columns[4];
    math::sse::loadMatrix(m, columns);
    math::sse::store(&v->x, math::sse::transform(math::sse::load(&v->x), columns));
#else
    math::scalar::transform(v, m);
#endif
    return v;
}

KVE_Matrix* KVE_MultiplyMatrix(KVE_Matrix* out, const KVE_Matrix* a, const KVE_Matrix* b)
{
#ifdef KVE_MATH_SSE
    // Both operands are read whole before anything is stored, so `out` may be either.
    __m128 left[4], right[4];
    math::sse::loadMatrix(a, left);
    math::sse::loadMatrix(b, right);
    for (int i = 0; i < 4; ++i)
        right[i] = math::sse::transform(right[i], left);
    for (int i = 0; i < 4; ++i)
        math::sse::store(&out->c[i].x, right[i]);
#else
    math::scalar::multiply(out, a, b);
#endif
    return out;
}

KVE_Matrix* KVE_IdentityMatrix(KVE_Matrix* m)
{
    *m = KVE_Matrix{
        {{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}}};
    return m;
}

KVE_Matrix* KVE_InvertMatrix(KVE_Matrix* m)
{
#ifdef KVE_MATH_SSE
    math::sse::invert(m);
#else
    math::scalar::invert(m);
#endif
    return m;
}

KVE_Matrix* KVE_CopyInvertMatrix(KVE_Matrix* out, const KVE_Matrix* m)
{
    *out = *m;
    return KVE_InvertMatrix(out);
}

KVE_Quaternion* KVE_MultiplyQuaternion(KVE_Quaternion* p, const KVE_Quaternion* q)
{
    return KVE_MultiplyQuaternionTo(p, p, q);
}

KVE_Quaternion* KVE_MultiplyQuaternionTo(KVE_Quaternion* out, const KVE_Quaternion* p, const KVE_Quaternion* q)
{
#ifdef KVE_MATH_SSE
    // p q = pw q + px (qw, -qz, qy, -qx) + py (qz, qw, -qx, -qy) + pz (-qy, qx, qw, -qz)
    using namespace math::sse;
    const __m128 a = load(&p->x), b = load(&q->x);
    __m128 sum = _mm_mul_ps(swizzle<3, 3, 3, 3>(a), b);
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_mul_ps(swizzle<0, 0, 0, 0>(a), swizzle<3, 2, 1, 0>(b)),
                                     _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_mul_ps(swizzle<1, 1, 1, 1>(a), swizzle<2, 3, 0, 1>(b)),
                                     _mm_setr_ps(1.0f, 1.0f, -1.0f, -1.0f)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_mul_ps(swizzle<2, 2, 2, 2>(a), swizzle<1, 0, 3, 2>(b)),
                                     _mm_setr_ps(-1.0f, 1.0f, 1.0f, -1.0f)));
    store(&out->x, sum);
#else
    math::scalar::multiply(out, p, q);
#endif
    return out;
}

KVE_Quaternion* KVE_ConjugateQuaternion(KVE_Quaternion* q)
{
    return KVE_SetQuaternion(q, -q->x, -q->y, -q->z, q->w);
}

KVE_Quaternion* KVE_EulerToQuaternion(KVE_Quaternion* out, float ax, float ay, float az, int radians)
{
    const float toRadians = radians == 1 ? 1.0f : math::kDegreesToRadians;
    const float hx = ax * toRadians * 0.5f, hy = ay * toRadians * 0.5f, hz = az * toRadians * 0.5f;
    const float cx = std::cos(hx), sx = std::sin(hx);
    const float cy = std::cos(hy), sy = std::sin(hy);
    const float cz = std::cos(hz), sz = std::sin(hz);
    return KVE_SetQuaternion(out, sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz, cx * cy * sz - sx * sy * cz,
                             cx * cy * cz + sx * sy * sz);
}

KVE_Matrix* KVE_QuaternionToMatrix(const KVE_Quaternion* q, KVE_Matrix* out)
{
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    KVE_SetVector(&out->c[0], 1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + w * z), 2.0f * (x * z - w * y), 0.0f);
    KVE_SetVector(&out->c[1], 2.0f * (x * y - w * z), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + w * x), 0.0f);
    KVE_SetVector(&out->c[2], 2.0f * (x * z + w * y), 2.0f * (y * z - w * x), 1.0f - 2.0f * (x * x + y * y), 0.0f);
    KVE_SetVector(&out->c[3], 0.0f, 0.0f, 0.0f, 1.0f);
    return out;
}

KVE_Matrix* KVE_LookAtMatrix(KVE_Matrix* out, const KVE_Vector* eye, const KVE_Vector* target, const KVE_Vector* up)
{
    const auto cross = [](const KVE_Vector& a, const KVE_Vector& b) {
        return KVE_Vector{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f};
    };
    KVE_Vector forward;
    KVE_NormalizeVector(KVE_SubVector(&forward, target, eye));
    // With the eye on the target there is no direction: look down -Z as an unturned camera does.
    if (forward.x == 0.0f && forward.y == 0.0f && forward.z == 0.0f)
        forward.z = -1.0f;
    KVE_Vector side = cross(forward, *up);
    // An up vector along the view (or none) leaves the roll open: take the axis that lies
    // least along the view instead, so that the result stays a rotation.
    if (KVE_DotVector(&side, nullptr) < 1e-12f) {
        const float ax = std::fabs(forward.x), ay = std::fabs(forward.y), az = std::fabs(forward.z);
        KVE_Vector axis{0.0f, 0.0f, 0.0f, 0.0f};
        (ax <= ay && ax <= az ? axis.x : ay <= az ? axis.y : axis.z) = 1.0f;
        side = cross(forward, axis);
    }
    KVE_NormalizeVector(&side);
    out->c[0] = side;
    out->c[1] = cross(side, forward);
    out->c[2] = *KVE_NegateVector(&forward);
    KVE_SetVector(&out->c[3], eye->x, eye->y, eye->z, 1.0f);
    return out;
}

KVE_Vector* KVE_ColorToVector(KVE_Vector* out, int color)
{
    const auto packed = static_cast<uint32_t>(color);
    const uint32_t alpha = packed >> 24 ? packed >> 24 : 255u;
    constexpr float kScale = 1.0f / 255.0f;
    return KVE_SetVector(out, static_cast<float>(packed & 0xFF) * kScale,
                         static_cast<float>((packed >> 8) & 0xFF) * kScale,
                         static_cast<float>((packed >> 16) & 0xFF) * kScale, static_cast<float>(alpha) * kScale);
}

int KVE_VectorToColor(const KVE_Vector* v)
{
    // Clamped so that an out-of-range component can never spill into its neighbour's byte.
    const auto byte = [](float component) {
        const float clamped = component > 0.0f ? std::min(component, 1.0f) : 0.0f; // NaN reads as 0
        return static_cast<uint32_t>(std::lround(clamped * 255.0f));
    };
    return static_cast<int>(byte(v->x) | byte(v->y) << 8 | byte(v->z) << 16 | byte(v->w) << 24);
}

float KVE_MaxOf3(float a, float b, float c)
{
    return std::max(std::max(a, b), c);
}

KVE_Vector* KVE_TakeTempVector(float x, float y, float z, float w)
{
    math::TempPool& pool = math::tempPool;
    if (pool.free == 0)
        return nullptr;
    return KVE_SetVector(&pool.slots[--pool.free], x, y, z, w);
}

void KVE_ReleaseTempVectors(int count)
{
    math::TempPool& pool = math::tempPool;
    pool.free += std::clamp(count, 0, math::kTempSlots - pool.free);
}

KVE_Vector* KVE_PeekTempVector(int k)
{
    math::TempPool& pool = math::tempPool;
    if (k < 0 || k >= math::kTempSlots - pool.free)
        return nullptr;
    return &pool.slots[pool.free + k];
}

void KVE_ResetTempVectors(void)
{
    math::tempPool.free = math::kTempSlots;
}

} // extern "C"
