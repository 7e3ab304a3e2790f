// Vector, matrix and quaternion maths shared by the camera, the creatures
// and the skeletal animation: the VECTOR3D, MATRIX and QUAT value types and
// the free functions that transform points, build rotations from Euler
// angles (degrees), interpolate quaternions and aim one point at another.
#pragma once

// Every degree/radian conversion uses this exact value.
constexpr double NIFTY_PI = 3.141592653589793;

// Single-precision 3D vector: positions, directions and Euler angle
// triples in degrees (about X, Y, Z).
struct VECTOR3D {
    float x, y, z;

    constexpr VECTOR3D() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr VECTOR3D(float px, float py, float pz) : x(px), y(py), z(pz) {}

    // Scales to unit length in single precision; a zero vector stays zero.
    void Normalize();
};

// 4x4 transform in OpenGL column-major order: row r, column c is m[4c + r],
// translation in m[12..14]. Handed to glMultMatrixd as it is.
struct MATRIX {
    double m[16];

    MATRIX();
    void Identity();
    // Writes only the translation column.
    void SetTranslation(VECTOR3D t);
};

// Quaternion with the scalar part last.
struct QUAT {
    double x, y, z, w;

    QUAT();
    void Identity();
};

VECTOR3D MakePoint(float x, float y, float z);

// Squared distance: callers compare it with squared thresholds.
double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b);
// Rotation vector (axis scaled by degrees) turning +Z towards b as seen from a.
VECTOR3D AngleBetweenVectors(VECTOR3D a, VECTOR3D b);
// Orientation whose local +Z points from b to a.
MATRIX MatrixAngleBetweenVectors(VECTOR3D a, VECTOR3D b);

// A·B: applying the result equals applying B first, then A.
MATRIX MultiplyMatrix(MATRIX a, MATRIX b);
VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p);
VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p);

// Rz(-z)·Ry(y)·Rx(-x): X and Z turn the opposite way to the quaternion path.
MATRIX MatrixFromAngle(VECTOR3D angles);
// Qz·Qy·Qx, each right-handed.
QUAT RotationToQuat(VECTOR3D angles);
MATRIX QuatToRotationMatrix(QUAT q);
QUAT QuatSlerp(const QUAT* from, const QUAT* to, double t);
