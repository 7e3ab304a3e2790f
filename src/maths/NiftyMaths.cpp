// Vector, matrix and quaternion operations: VECTOR3D::Normalize, the MATRIX
// and QUAT members, point transforms, matrix product, Euler-angle rotations,
// quaternion slerp and the two aiming helpers.
#include "maths/NiftyMaths.h"

#include <algorithm>
#include <cmath>

namespace {

// Degrees to radians, multiplying by pi before dividing so the rounding
// matches everywhere angles are converted.
double ToRadians(float degrees)
{
    return static_cast<double>(degrees) * NIFTY_PI / 180.0;
}

// Float sum of squares, square root in double.
double Length(VECTOR3D v)
{
    return std::sqrt(static_cast<double>(v.x * v.x + v.y * v.y + v.z * v.z));
}

// Divides each component by len in double and rounds back to float.
VECTOR3D DivideBy(VECTOR3D v, double len)
{
    return VECTOR3D(static_cast<float>(v.x / len), static_cast<float>(v.y / len), static_cast<float>(v.z / len));
}

VECTOR3D Cross(VECTOR3D a, VECTOR3D b)
{
    return VECTOR3D(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

VECTOR3D Subtract(VECTOR3D a, VECTOR3D b)
{
    return VECTOR3D(a.x - b.x, a.y - b.y, a.z - b.z);
}

bool IsZero(VECTOR3D v)
{
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

} // namespace

void VECTOR3D::Normalize()
{
    float len = std::sqrt(y * y + x * x + z * z);
    if (len == 0.0f) {
        return;
    }
    x /= len;
    y /= len;
    z /= len;
}

MATRIX::MATRIX()
{
    Identity();
}

void MATRIX::Identity()
{
    for (double& e : m) {
        e = 0.0;
    }
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

void MATRIX::SetTranslation(VECTOR3D t)
{
    m[12] = t.x;
    m[13] = t.y;
    m[14] = t.z;
}

QUAT::QUAT()
{
    Identity();
}

void QUAT::Identity()
{
    x = y = z = 0.0;
    w = 1.0;
}

VECTOR3D MakePoint(float x, float y, float z)
{
    return VECTOR3D(x, y, z);
}

double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b)
{
    VECTOR3D d = Subtract(a, b);
    float sum = d.x * d.x + d.y * d.y + d.z * d.z;
    return sum;
}

VECTOR3D AngleBetweenVectors(VECTOR3D a, VECTOR3D b)
{
    VECTOR3D d = Subtract(b, a);
    // The nudge keeps the axis from collapsing when b is straight ahead or
    // behind along Z.
    if (std::fabs(d.x) < 1.0f) {
        d.x = static_cast<float>(d.x + 0.1);
    }
    if (a.x == b.x && a.y == b.y && a.z == b.z) {
        d.z = static_cast<float>(d.z + 1.0);
    }
    VECTOR3D u = MakePoint(0.0f, 0.0f, 1.0f);

    VECTOR3D axis = Cross(u, d);
    double axisLen = Length(axis);
    if (axisLen != 0.0) {
        axis = DivideBy(axis, axisLen);
    }

    float dot = u.x * d.x + u.y * d.y + u.z * d.z;
    // Rounding can carry the cosine of a target straight ahead or behind just
    // past 1 in magnitude, where acos has no answer.
    const double cosine = std::max(-1.0, std::min(1.0, dot / Length(d)));
    double angle = std::acos(cosine) * 180.0 / NIFTY_PI;

    return VECTOR3D(static_cast<float>(axis.x * angle), static_cast<float>(axis.y * angle),
                    static_cast<float>(axis.z * angle));
}

MATRIX MatrixAngleBetweenVectors(VECTOR3D a, VECTOR3D b)
{
    VECTOR3D f = Subtract(a, b);
    if (IsZero(f)) {
        f.z = static_cast<float>(f.z + 1.0);
    }
    f = DivideBy(f, Length(f));

    // Straight up or down the usual up vector is parallel to f, so a
    // horizontal one stands in.
    VECTOR3D up(0.0f, 1.0f, 0.0f);
    if (f.x == 0.0f && f.z == 0.0f) {
        up = VECTOR3D(-f.y, 0.0f, 0.0f);
    }

    VECTOR3D r = Cross(up, f);
    r = DivideBy(r, Length(r));
    VECTOR3D t = Cross(r, f);
    t = DivideBy(t, Length(t));

    MATRIX res;
    res.m[0] = r.x;
    res.m[1] = r.y;
    res.m[2] = r.z;
    res.m[4] = -t.x;
    res.m[5] = -t.y;
    res.m[6] = -t.z;
    res.m[8] = f.x;
    res.m[9] = f.y;
    res.m[10] = f.z;
    return res;
}

MATRIX MultiplyMatrix(MATRIX a, MATRIX b)
{
    MATRIX res;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[i + 4 * k] * b.m[k + 4 * j];
            }
            res.m[i + 4 * j] = sum;
        }
    }
    return res;
}

VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p)
{
    const double* e = m.m;
    double x = p.x, y = p.y, z = p.z;
    return VECTOR3D(static_cast<float>(e[0] * x + e[4] * y + e[8] * z + e[12]),
                    static_cast<float>(e[1] * x + e[5] * y + e[9] * z + e[13]),
                    static_cast<float>(e[2] * x + e[6] * y + e[10] * z + e[14]));
}

VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p)
{
    const double* e = m.m;
    double x = p.x, y = p.y, z = p.z;
    return VECTOR3D(static_cast<float>(e[0] * x + e[4] * y + e[8] * z),
                    static_cast<float>(e[1] * x + e[5] * y + e[9] * z),
                    static_cast<float>(e[2] * x + e[6] * y + e[10] * z));
}

// The transpose undoes a pure rotation without a real inverse.
VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p)
{
    const double* e = m.m;
    double x = p.x, y = p.y, z = p.z;
    return VECTOR3D(static_cast<float>(e[0] * x + e[1] * y + e[2] * z),
                    static_cast<float>(e[4] * x + e[5] * y + e[6] * z),
                    static_cast<float>(e[8] * x + e[9] * y + e[10] * z));
}

VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p)
{
    return VECTOR3D(static_cast<float>(p.x + m.m[12]), static_cast<float>(p.y + m.m[13]),
                    static_cast<float>(p.z + m.m[14]));
}

VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p)
{
    return VECTOR3D(static_cast<float>(p.x - m.m[12]), static_cast<float>(p.y - m.m[13]),
                    static_cast<float>(p.z - m.m[14]));
}

MATRIX MatrixFromAngle(VECTOR3D angles)
{
    double rx = ToRadians(angles.x);
    double ry = ToRadians(angles.y);
    double rz = ToRadians(angles.z);
    double cx = std::cos(rx), sx = std::sin(rx);
    double cy = std::cos(ry), sy = std::sin(ry);
    double cz = std::cos(rz), sz = std::sin(rz);

    // Callers rely on X and Z turning the opposite way to Y here; the
    // grouping of the products is kept so results round identically.
    MATRIX res;
    res.m[0] = cy * cz;
    res.m[1] = -cy * sz;
    res.m[2] = -sy;
    res.m[4] = cx * sz - cz * (sx * sy);
    res.m[5] = sx * sy * sz + cx * cz;
    res.m[6] = -sx * cy;
    res.m[8] = cx * sy * cz + sx * sz;
    res.m[9] = sx * cz - sz * (sy * cx);
    res.m[10] = cx * cy;
    return res;
}

QUAT RotationToQuat(VECTOR3D angles)
{
    double hx = ToRadians(angles.x) * 0.5;
    double hy = ToRadians(angles.y) * 0.5;
    double hz = ToRadians(angles.z) * 0.5;
    double cx = std::cos(hx), sx = std::sin(hx);
    double cy = std::cos(hy), sy = std::sin(hy);
    double cz = std::cos(hz), sz = std::sin(hz);

    QUAT q;
    q.x = sx * cy * cz - cx * sy * sz;
    q.y = cx * sy * cz + sx * cy * sz;
    q.z = cx * cy * sz - sx * sy * cz;
    q.w = cx * cy * cz + sx * sy * sz;
    return q;
}

MATRIX QuatToRotationMatrix(QUAT q)
{
    double x = q.x, y = q.y, z = q.z, w = q.w;
    MATRIX res;
    res.m[0] = 1.0 - 2.0 * (y * y + z * z);
    res.m[4] = 2.0 * (x * y - z * w);
    res.m[8] = 2.0 * (x * z + y * w);
    res.m[1] = 2.0 * (x * y + z * w);
    res.m[5] = 1.0 - 2.0 * (x * x + z * z);
    res.m[9] = 2.0 * (y * z - x * w);
    res.m[2] = 2.0 * (x * z - y * w);
    res.m[6] = 2.0 * (y * z + x * w);
    res.m[10] = 1.0 - 2.0 * (x * x + y * y);
    return res;
}

QUAT QuatSlerp(const QUAT* from, const QUAT* to, double t)
{
    QUAT dest = *to;
    double cosom = from->x * dest.x + from->y * dest.y + from->z * dest.z + from->w * dest.w;
    // q and -q are the same rotation; flipping takes the shorter way round.
    if (cosom < 0.0) {
        cosom = -cosom;
        dest.x = -dest.x;
        dest.y = -dest.y;
        dest.z = -dest.z;
        dest.w = -dest.w;
    }

    double scale0, scale1;
    if ((1.0 - cosom) > 1e-5) {
        double omega = std::acos(cosom);
        double sinom = std::sin(omega);
        scale0 = std::sin((1.0 - t) * omega) / sinom;
        scale1 = std::sin(t * omega) / sinom;
    } else {
        // Nearly equal: sin(omega) is too small to divide by, blend linearly.
        scale0 = 1.0 - t;
        scale1 = t;
    }

    QUAT res;
    res.x = scale0 * from->x + scale1 * dest.x;
    res.y = scale0 * from->y + scale1 * dest.y;
    res.z = scale0 * from->z + scale1 * dest.z;
    res.w = scale0 * from->w + scale1 * dest.w;
    return res;
}
