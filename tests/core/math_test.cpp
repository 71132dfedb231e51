#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <span>
#include <thread>

#include "core/math.h"
#include "kve.h"

namespace {

constexpr float kPi = 3.14159265358979323846f;

// Double-precision references, written independently of the engine's float code.
using Mat = std::array<std::array<double, 4>, 4>; // [column][row]

Mat toDouble(const KVE_Matrix& m)
{
    Mat d{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            d[c][r] = (&m.c[c].x)[r];
    return d;
}

Mat multiply(const Mat& a, const Mat& b)
{
    Mat p{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                p[c][r] += a[k][r] * b[c][k];
    return p;
}

// Gauss-Jordan elimination with partial pivoting on [M | I].
Mat inverse(Mat m)
{
    Mat inv{};
    for (int i = 0; i < 4; ++i)
        inv[i][i] = 1.0;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(m[col][r]) > std::fabs(m[col][pivot]))
                pivot = r;
        for (int c = 0; c < 4; ++c) {
            std::swap(m[c][col], m[c][pivot]);
            std::swap(inv[c][col], inv[c][pivot]);
        }
        const double scale = 1.0 / m[col][col];
        for (int c = 0; c < 4; ++c) {
            m[c][col] *= scale;
            inv[c][col] *= scale;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == col)
                continue;
            const double factor = m[col][r];
            for (int c = 0; c < 4; ++c) {
                m[c][r] -= factor * m[c][col];
                inv[c][r] -= factor * inv[c][col];
            }
        }
    }
    return inv;
}

// Within `tolerance`, relative to entries larger than 1.
void expectNear(const KVE_Matrix& actual, const Mat& expected, double tolerance, const char* what)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR((&actual.c[c].x)[r], expected[c][r], tolerance * std::max(1.0, std::fabs(expected[c][r])))
                << what << " column " << c << " row " << r;
}

template <class FourFloats>
void expectVector(const FourFloats& v, float x, float y, float z, float w, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
    EXPECT_NEAR(v.w, w, tolerance);
}

class RandomMath {
public:
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine_); }

    KVE_Quaternion unitQuaternion()
    {
        KVE_Quaternion q{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
        const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        return KVE_Quaternion{q.x / length, q.y / length, q.z / length, q.w / length};
    }

    // Rotation, per-axis scale 0.5..2, translation, and a perturbation of every entry:
    // general (no affine structure) but far from singular.
    KVE_Matrix wellConditioned()
    {
        KVE_Matrix m;
        const KVE_Quaternion q = unitQuaternion();
        KVE_QuaternionToMatrix(&q, &m);
        for (int c = 0; c < 3; ++c)
            KVE_ScaleVector(&m.c[c], uniform(0.5f, 2.0f));
        KVE_SetVector(&m.c[3], uniform(-10, 10), uniform(-10, 10), uniform(-10, 10), 1.0f);
        for (float& entry : std::span(&m.c[0].x, 16))
            entry += uniform(-0.05f, 0.05f);
        return m;
    }

    KVE_Matrix any()
    {
        KVE_Matrix m;
        for (float& entry : std::span(&m.c[0].x, 16))
            entry = uniform(-3, 3);
        return m;
    }

private:
    std::mt19937 engine_{12345};
};

TEST(MathVector, TranslationMovesPointsButNotDirections)
{
    KVE_Matrix m;
    KVE_IdentityMatrix(&m);
    KVE_SetVector(&m.c[3], 10, 20, 30, 1);
    KVE_Vector point{1, 2, 3, 1}, direction{1, 2, 3, 0};
    EXPECT_EQ(KVE_TransformVector(&point, &m), &point);
    expectVector(point, 11, 22, 33, 1, 0);
    expectVector(*KVE_TransformVector(&direction, &m), 1, 2, 3, 0, 0);
}

TEST(MathVector, WFlagFollowsPointAndDirectionRules)
{
    const KVE_Vector point{1, 2, 3, 1}, otherPoint{4, 6, 8, 1}, direction{1, 1, 1, 0}, otherDirection{2, 0, 0, 0};
    KVE_Vector v = point;
    expectVector(*KVE_AddVector(&v, &otherPoint), 5, 8, 11, 1, 0);
    v = point;
    EXPECT_EQ(KVE_AddVector(&v, &direction)->w, 1.0f);
    v = direction;
    EXPECT_EQ(KVE_AddVector(&v, &otherDirection)->w, 0.0f);
    v = point;
    expectVector(*KVE_AddVectorXYZ(&v, &direction), 2, 3, 4, 1, 0);
    v = direction;
    EXPECT_EQ(KVE_AddVectorXYZ(&v, &point)->w, 0.0f) << "the XYZ form keeps w";

    KVE_Vector out{9, 9, 9, 9};
    EXPECT_EQ(KVE_SubVector(&out, &otherPoint, &point), &out);
    expectVector(out, 3, 4, 5, 0, 0);
    EXPECT_EQ(KVE_SubVector(&out, &point, &direction)->w, 1.0f);
    EXPECT_EQ(KVE_SubVector(&out, &direction, &otherDirection)->w, 0.0f);
    // The output may be one of the operands.
    v = otherPoint;
    expectVector(*KVE_SubVector(&v, &v, &point), 3, 4, 5, 0, 0);
}

TEST(MathVector, ScaleNegateDotAndMax)
{
    KVE_Vector v{1, -2, 3, 1};
    const KVE_Vector b{2, 0.5f, -1, 7};
    expectVector(*KVE_AddScaledVector(&v, &b, 2), 5, -1, 1, 1, 0);
    expectVector(*KVE_ScaleVector(&v, -2), -10, 2, -2, 1, 0);
    expectVector(*KVE_NegateVector(&v), 10, -2, 2, 1, 0);
    EXPECT_EQ(KVE_DotVector(&v, &b), 20.0f - 1.0f - 2.0f) << "w takes no part";
    EXPECT_EQ(KVE_DotVector(&v, nullptr), 108.0f);
    EXPECT_EQ(KVE_MaxOf3(1, 3, 2), 3.0f);
    EXPECT_EQ(KVE_MaxOf3(-1, -3, -2), -1.0f);
    EXPECT_EQ(KVE_MaxOf3(0, 0, 5), 5.0f);
}

TEST(MathVector, NormalizeMakesAUnitDirection)
{
    KVE_Vector v{3, 4, 0, 1};
    expectVector(*KVE_NormalizeVector(&v), 0.6f, 0.8f, 0, 0, 1e-7f);
    KVE_Vector zero{0, 0, 0, 1};
    expectVector(*KVE_NormalizeVector(&zero), 0, 0, 0, 0, 0);
}

TEST(MathColor, PackedColoursBecomeFloatsWithAlphaZeroOpaque)
{
    KVE_Vector v;
    expectVector(*KVE_ColorToVector(&v, 0x00FF0000), 0, 0, 1, 1, 0);
    expectVector(*KVE_ColorToVector(&v, static_cast<int>(0x80FFFFFF)), 1, 1, 1, 128.0f / 255.0f, 1e-7f);
    expectVector(*KVE_ColorToVector(&v, 0x01336699), 0x99 / 255.0f, 0x66 / 255.0f, 0x33 / 255.0f, 1 / 255.0f, 1e-7f);

    // Packing reverses unpacking for every byte value, red in the lowest byte.
    for (uint32_t b = 1; b < 256; ++b) {
        const uint32_t packed = b | (255 - b) << 8 | (b / 2) << 16 | b << 24;
        EXPECT_EQ(static_cast<uint32_t>(KVE_VectorToColor(KVE_ColorToVector(&v, static_cast<int>(packed)))), packed);
    }
    // Out-of-range components saturate instead of spilling into the next byte.
    const KVE_Vector bright{2.0f, -1.0f, 0.5f, 1.0f};
    EXPECT_EQ(static_cast<uint32_t>(KVE_VectorToColor(&bright)), 0xFF8000FFu);
    const KVE_Vector notANumber{std::nanf(""), 0, 0, 0};
    EXPECT_EQ(KVE_VectorToColor(&notANumber), 0);
}

TEST(MathMatrix, ProductsMatchDoublePrecisionAndAllowAliasing)
{
    RandomMath random;
    for (int i = 0; i < 50; ++i) {
        const KVE_Matrix a = random.any(), b = random.any();
        const Mat expected = multiply(toDouble(a), toDouble(b));
        KVE_Matrix out;
        EXPECT_EQ(KVE_MultiplyMatrix(&out, &a, &b), &out);
        expectNear(out, expected, 1e-4, "out = A B");
        KVE_Matrix left = a, right = b;
        expectNear(*KVE_MultiplyMatrix(&left, &left, &b), expected, 1e-4, "A := A B");
        expectNear(*KVE_MultiplyMatrix(&right, &a, &right), expected, 1e-4, "B := A B");
        KVE_Matrix both = a;
        expectNear(*KVE_MultiplyMatrix(&both, &both, &both), multiply(toDouble(a), toDouble(a)), 1e-4, "A := A A");
        KVE_Matrix scalarOut;
        kve::math::scalar::multiply(&scalarOut, &a, &b);
        expectNear(scalarOut, expected, 1e-4, "scalar");

        KVE_Vector v{random.uniform(-3, 3), random.uniform(-3, 3), random.uniform(-3, 3), random.uniform(-3, 3)};
        const double in[4] = {v.x, v.y, v.z, v.w};
        KVE_Vector scalarV = v;
        KVE_TransformVector(&v, &a);
        kve::math::scalar::transform(&scalarV, &a);
        const Mat ad = toDouble(a);
        for (int r = 0; r < 4; ++r) {
            const double want = ad[0][r] * in[0] + ad[1][r] * in[1] + ad[2][r] * in[2] + ad[3][r] * in[3];
            EXPECT_NEAR((&v.x)[r], want, 1e-4);
            EXPECT_NEAR((&scalarV.x)[r], want, 1e-4);
        }
    }
}

TEST(MathMatrix, OperandsNeedNoAlignment)
{
    alignas(16) unsigned char buffer[3 * sizeof(KVE_Matrix) + 16];
    RandomMath random;
    const KVE_Matrix a = random.wellConditioned(), b = random.any();
    KVE_Matrix expected;
    KVE_MultiplyMatrix(&expected, &a, &b);
    // Each operand four bytes past a 16-byte boundary.
    auto* ua = reinterpret_cast<KVE_Matrix*>(buffer + 4);
    auto* ub = reinterpret_cast<KVE_Matrix*>(buffer + 4 + sizeof(KVE_Matrix));
    auto* uo = reinterpret_cast<KVE_Matrix*>(buffer + 4 + 2 * sizeof(KVE_Matrix));
    std::memcpy(ua, &a, sizeof a);
    std::memcpy(ub, &b, sizeof b);
    KVE_MultiplyMatrix(uo, ua, ub);
    EXPECT_EQ(std::memcmp(uo, &expected, sizeof expected), 0);

    KVE_Matrix inverse;
    KVE_CopyInvertMatrix(&inverse, &a);
    KVE_InvertMatrix(ua);
    EXPECT_EQ(std::memcmp(ua, &inverse, sizeof inverse), 0);

    auto* uq = reinterpret_cast<KVE_Quaternion*>(buffer + 8);
    KVE_SetQuaternion(uq, 1, 2, 3, 4);
    const KVE_Quaternion q{0.5f, -1, 2, 3};
    KVE_Quaternion aligned{1, 2, 3, 4};
    KVE_MultiplyQuaternion(&aligned, &q);
    KVE_MultiplyQuaternion(uq, &q);
    EXPECT_EQ(std::memcmp(uq, &aligned, sizeof aligned), 0);
}

TEST(MathMatrix, InverseMatchesGaussJordanForManyMatrices)
{
    RandomMath random;
    Mat identity{};
    for (int i = 0; i < 4; ++i)
        identity[i][i] = 1.0;
    for (int i = 0; i < 200; ++i) {
        const KVE_Matrix m = random.wellConditioned();
        const Mat expected = inverse(toDouble(m));
        KVE_Matrix inv;
        EXPECT_EQ(KVE_CopyInvertMatrix(&inv, &m), &inv);
        expectNear(inv, expected, 2e-4, "SIMD inverse");
        KVE_Matrix product;
        expectNear(*KVE_MultiplyMatrix(&product, &inv, &m), identity, 1e-4, "inverse x original");
        KVE_Matrix scalar = m;
        ASSERT_TRUE(kve::math::scalar::invert(&scalar));
        expectNear(scalar, expected, 2e-4, "scalar inverse");
        KVE_Matrix inPlace = m;
        EXPECT_EQ(std::memcmp(KVE_InvertMatrix(&inPlace), &inv, sizeof inv), 0);
    }
    // A permutation with a sign (no structure shared with the affine cases above).
    KVE_Matrix p{{{0, 0, 2, 0}, {1, 0, 0, 0}, {0, 0, 0, -4}, {0, 1, 0, 0}}};
    expectNear(*KVE_InvertMatrix(&p),
               inverse(toDouble(KVE_Matrix{{{0, 0, 2, 0}, {1, 0, 0, 0}, {0, 0, 0, -4}, {0, 1, 0, 0}}})), 1e-7,
               "permutation");
}

TEST(MathMatrix, SingularMatrixIsLeftUnchanged)
{
    KVE_Matrix m{{{1, 2, 3, 0}, {2, 4, 6, 0}, {0, 0, 1, 0}, {5, 5, 5, 1}}}; // two parallel columns
    const KVE_Matrix original = m;
    KVE_InvertMatrix(&m);
    EXPECT_EQ(std::memcmp(&m, &original, sizeof m), 0);
    EXPECT_FALSE(kve::math::scalar::invert(&m));
    EXPECT_EQ(std::memcmp(&m, &original, sizeof m), 0);
    KVE_Matrix out;
    KVE_CopyInvertMatrix(&out, &original);
    EXPECT_EQ(std::memcmp(&out, &original, sizeof m), 0);
}

TEST(MathQuaternion, HamiltonProductOfBasisAndRandomQuaternions)
{
    const KVE_Quaternion i{1, 0, 0, 0}, j{0, 1, 0, 0}, k{0, 0, 1, 0};
    KVE_Quaternion out;
    expectVector(*KVE_MultiplyQuaternionTo(&out, &i, &j), 0, 0, 1, 0, 0);
    expectVector(*KVE_MultiplyQuaternionTo(&out, &j, &i), 0, 0, -1, 0, 0);
    expectVector(*KVE_MultiplyQuaternionTo(&out, &k, &k), 0, 0, 0, -1, 0);

    RandomMath random;
    for (int n = 0; n < 50; ++n) {
        const KVE_Quaternion p = random.unitQuaternion(), q = random.unitQuaternion();
        // (p0 + p) (q0 + q) = p0 q0 - p.q + p0 q + q0 p + p x q
        const double pw = p.w, px = p.x, py = p.y, pz = p.z, qw = q.w, qx = q.x, qy = q.y, qz = q.z;
        const double want[4] = {pw * qx + qw * px + (py * qz - pz * qy), pw * qy + qw * py + (pz * qx - px * qz),
                                pw * qz + qw * pz + (px * qy - py * qx), pw * qw - (px * qx + py * qy + pz * qz)};
        KVE_Quaternion simd = p, scalar;
        KVE_MultiplyQuaternion(&simd, &q);
        kve::math::scalar::multiply(&scalar, &p, &q);
        KVE_Quaternion aliasRight = q;
        KVE_MultiplyQuaternionTo(&aliasRight, &p, &aliasRight);
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR((&simd.x)[c], want[c], 1e-6);
            EXPECT_NEAR((&scalar.x)[c], want[c], 1e-6);
            EXPECT_NEAR((&aliasRight.x)[c], want[c], 1e-6);
        }
    }
}

TEST(MathQuaternion, MatrixRotatesLikeConjugation)
{
    RandomMath random;
    for (int n = 0; n < 50; ++n) {
        const KVE_Quaternion q = random.unitQuaternion();
        KVE_Matrix m;
        KVE_QuaternionToMatrix(&q, &m);
        EXPECT_EQ(m.c[3].x, 0.0f);
        EXPECT_EQ(m.c[3].w, 1.0f);
        const KVE_Vector v{random.uniform(-5, 5), random.uniform(-5, 5), random.uniform(-5, 5), 0};
        // q v q* with v as a pure quaternion.
        KVE_Quaternion rotated{v.x, v.y, v.z, 0}, conjugate = q;
        KVE_ConjugateQuaternion(&conjugate);
        KVE_MultiplyQuaternionTo(&rotated, &q, &rotated);
        KVE_MultiplyQuaternion(&rotated, &conjugate);
        KVE_Vector transformed = v;
        KVE_TransformVector(&transformed, &m);
        expectVector(transformed, rotated.x, rotated.y, rotated.z, 0, 1e-4f);
        EXPECT_NEAR(rotated.w, 0.0f, 1e-5f);
    }
}

TEST(MathQuaternion, EulerNinetyAboutXInDegreesAndRadians)
{
    KVE_Quaternion q;
    const float h = std::sqrt(0.5f);
    expectVector(*KVE_EulerToQuaternion(&q, 90, 0, 0, 0), h, 0, 0, h, 1e-6f);
    expectVector(*KVE_EulerToQuaternion(&q, kPi / 2, 0, 0, 1), h, 0, 0, h, 1e-6f);
    // Only the flag value 1 means radians.
    expectVector(*KVE_EulerToQuaternion(&q, 90, 0, 0, 2), h, 0, 0, h, 1e-6f);
}

TEST(MathQuaternion, EulerAppliesXThenYThenZ)
{
    // (0, 1, 0) turned 90 about X becomes (0, 0, 1); then 90 about Y becomes (1, 0, 0).
    // Y first would leave it on Y and X would then send it to (0, 0, 1).
    KVE_Quaternion q;
    KVE_Matrix m;
    KVE_QuaternionToMatrix(KVE_EulerToQuaternion(&q, 90, 90, 0, 0), &m);
    KVE_Vector v{0, 1, 0, 0};
    expectVector(*KVE_TransformVector(&v, &m), 1, 0, 0, 0, 1e-6f);
    // (1, 0, 0): X leaves it, Y 90 sends it to (0, 0, -1), Z 90 leaves it there.
    KVE_QuaternionToMatrix(KVE_EulerToQuaternion(&q, 90, 90, 90, 0), &m);
    KVE_SetVector(&v, 1, 0, 0, 0);
    expectVector(*KVE_TransformVector(&v, &m), 0, 0, -1, 0, 1e-6f);

    // In general the angles compose as qz qy qx.
    RandomMath random;
    for (int n = 0; n < 20; ++n) {
        const float ax = random.uniform(-180, 180), ay = random.uniform(-180, 180), az = random.uniform(-180, 180);
        KVE_Quaternion qx, qy, qz, euler;
        KVE_EulerToQuaternion(&qx, ax, 0, 0, 0);
        KVE_EulerToQuaternion(&qy, 0, ay, 0, 0);
        KVE_EulerToQuaternion(&qz, 0, 0, az, 0);
        KVE_MultiplyQuaternion(KVE_MultiplyQuaternion(&qz, &qy), &qx);
        KVE_EulerToQuaternion(&euler, ax, ay, az, 0);
        expectVector(euler, qz.x, qz.y, qz.z, qz.w, 1e-5f);
    }
}

TEST(MathLookAt, MinusZLooksAtTheTargetAndTheInverseTakesTheEyeHome)
{
    const KVE_Vector eye{3, 4, 5, 1}, target{-1, 2, 9, 1}, up{0, 1, 0, 0};
    KVE_Matrix world, view;
    EXPECT_EQ(KVE_LookAtMatrix(&world, &eye, &target, &up), &world);
    KVE_Vector forward{0, 0, -1, 0}, direction;
    KVE_NormalizeVector(KVE_SubVector(&direction, &target, &eye));
    KVE_TransformVector(&forward, &world);
    expectVector(forward, direction.x, direction.y, direction.z, 0);
    KVE_Vector cameraUp{0, 1, 0, 0};
    EXPECT_GT(KVE_DotVector(KVE_TransformVector(&cameraUp, &world), &up), 0.9f);
    KVE_Vector cameraRight{1, 0, 0, 0};
    EXPECT_NEAR(KVE_DotVector(KVE_TransformVector(&cameraRight, &world), &up), 0.0f, 1e-6f) << "no roll";

    KVE_CopyInvertMatrix(&view, &world);
    KVE_Vector p = eye;
    expectVector(*KVE_TransformVector(&p, &view), 0, 0, 0, 1);
    p = target; // 6 units straight ahead
    expectVector(*KVE_TransformVector(&p, &view), 0, 0, -6.0f, 1);
}

TEST(MathLookAt, StaysARotationWhenUpIsAlongTheViewOrTheEyeIsOnTheTarget)
{
    const KVE_Vector origin{0, 0, 0, 1}, below{0, -10, 0, 1}, up{0, 1, 0, 0};
    const KVE_Vector cubeUp{0, -1, 0, 0}, plusX{1, 0, 0, 1};
    KVE_Matrix cases[3];
    KVE_LookAtMatrix(&cases[0], &origin, &below, &up);     // up along the view
    KVE_LookAtMatrix(&cases[1], &origin, &origin, &up);    // no view direction
    KVE_LookAtMatrix(&cases[2], &origin, &plusX, &cubeUp); // +X cube face
    for (const KVE_Matrix& m : cases) {
        const Mat d = toDouble(m);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) {
                const double dot = d[a][0] * d[b][0] + d[a][1] * d[b][1] + d[a][2] * d[b][2];
                EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-6) << "columns " << a << ", " << b;
            }
        // Right-handed: s x u = -f.
        const double z = d[0][0] * d[1][1] - d[0][1] * d[1][0];
        EXPECT_NEAR(z, d[2][2], 1e-6);
    }
    KVE_Vector forward{0, 0, -1, 0};
    expectVector(*KVE_TransformVector(&forward, &cases[0]), 0, -1, 0, 0);
    // The +X face: right is -Z and up is -Y, as a cube map's face expects.
    expectVector(cases[2].c[0], 0, 0, -1, 0);
    expectVector(cases[2].c[1], 0, -1, 0, 0);
}

TEST(MathTempVectors, PoolHandsOutTopDownAndRunsDryAfter128)
{
    // A fresh thread's pool has no slot free until it is reset.
    std::thread([] {
        EXPECT_EQ(KVE_TakeTempVector(0, 0, 0, 0), nullptr);
        KVE_ResetTempVectors();
        EXPECT_NE(KVE_TakeTempVector(0, 0, 0, 0), nullptr);
    }).join();

    KVE_ResetTempVectors();
    std::set<KVE_Vector*> seen;
    KVE_Vector* previous = nullptr;
    for (int i = 0; i < 128; ++i) {
        KVE_Vector* v = KVE_TakeTempVector(static_cast<float>(i), 1, 2, 3);
        ASSERT_NE(v, nullptr) << "take " << i;
        expectVector(*v, static_cast<float>(i), 1, 2, 3, 0);
        if (previous) {
            EXPECT_EQ(v, previous - 1) << "from the top down";
        }
        previous = v;
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 128u);
    EXPECT_EQ(KVE_TakeTempVector(0, 0, 0, 0), nullptr);
    EXPECT_EQ(KVE_PeekTempVector(0)->x, 127.0f);
    EXPECT_EQ(KVE_PeekTempVector(5)->x, 122.0f);
    EXPECT_EQ(KVE_PeekTempVector(127)->x, 0.0f);
    EXPECT_EQ(KVE_PeekTempVector(128), nullptr);
    EXPECT_EQ(KVE_PeekTempVector(-1), nullptr);

    KVE_ReleaseTempVectors(3);
    EXPECT_EQ(KVE_PeekTempVector(0)->x, 124.0f);
    KVE_Vector* again = KVE_TakeTempVector(-1, -1, -1, -1);
    EXPECT_EQ(again, previous + 2) << "the slot given back most recently below the taken ones";
    EXPECT_EQ(KVE_PeekTempVector(1)->x, 124.0f);

    // Releasing more than was taken, or a negative count, never frees past the pool.
    KVE_ReleaseTempVectors(1000);
    EXPECT_EQ(KVE_PeekTempVector(0), nullptr);
    KVE_ReleaseTempVectors(-5);
    for (int i = 0; i < 128; ++i)
        ASSERT_NE(KVE_TakeTempVector(0, 0, 0, 0), nullptr);
    EXPECT_EQ(KVE_TakeTempVector(0, 0, 0, 0), nullptr);
    KVE_ResetTempVectors();
}

} // namespace
