// CreatureMesh: tapered capsules swept along each segment's axis.
//
// A capsule is two half-ellipsoids joined by a tapered tube, so neighbouring
// segments overlap at their rounded ends and a bend never opens a gap. Normals
// come from the capsule's shape, not from the triangles, so the lighting is
// smooth across each part.
#include "CreatureMesh.h"

#include "CoatLayout.h"
#include "CreatureRig.h"

#include <cmath>
#include <cstring>

namespace {

enum class UVMode {
    AlongBody, // across = along the axis, down = from the top line to the bottom
    AroundLimb, // across = around the limb, down = along the axis
    Patch, // the middle of the rectangle, for eyes and nose
};

struct Segment {
    int joint;
    VECTOR3D a, b;  // ends of the axis
    float ra, rb;   // radii at the ends
    float side, up; // cross-section scale sideways and upwards
    int sides, capRings;
    UVMode mode;
    CoatRect rect;
    float from, to; // the part of the rectangle's along direction this segment covers
    VECTOR3D upRef = {0, 1, 0};
};

constexpr float kPi = 3.14159265358979f;

VECTOR3D Add(VECTOR3D a, VECTOR3D b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
VECTOR3D Sub(VECTOR3D a, VECTOR3D b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
VECTOR3D Mul(VECTOR3D a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(VECTOR3D a, VECTOR3D b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
VECTOR3D Cross(VECTOR3D a, VECTOR3D b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
VECTOR3D Unit(VECTOR3D v)
{
    v.Normalize();
    return v;
}

// The leg columns of the coat: front left, front right, hind left, hind right.
CoatRect LegColumn(int leg)
{
    return {kCoatLegs.x + leg * kCoatLegs.w / 4, kCoatLegs.y, kCoatLegs.w / 4, kCoatLegs.h};
}

std::vector<Segment> Segments()
{
    using U = UVMode;
    const VECTOR3D front = {0, 0, 1};
    std::vector<Segment> s = {
        // Torso: haunch, belly and a deep chest, all on the torso patch.
        {J_PELVIS, {0, 3.62f, -2.3f}, {0, 3.55f, -0.9f}, 0.8f, 0.84f, 0.95f, 1.08f, 16, 4, U::AlongBody, kCoatTorso, 0.0f, 0.4f},
        {J_PELVIS, {0, 3.52f, -1.3f}, {0, 3.5f, 0.5f}, 0.82f, 0.9f, 0.92f, 1.1f, 16, 4, U::AlongBody, kCoatTorso, 0.3f, 0.7f},
        {J_CHEST, {0, 3.45f, 0.1f}, {0, 3.55f, 1.45f}, 0.92f, 0.74f, 0.9f, 1.18f, 16, 4, U::AlongBody, kCoatTorso, 0.62f, 0.92f},
        {J_NECK, {0, 4.15f, 1.6f}, {0, 5.0f, 2.15f}, 0.64f, 0.5f, 0.9f, 1.05f, 14, 3, U::AlongBody, kCoatTorso, 0.88f, 1.0f},
        // Head: skull, muzzle and lower jaw.
        {J_HEAD, {0, 5.3f, 1.95f}, {0, 5.2f, 2.65f}, 0.6f, 0.54f, 1.0f, 0.92f, 14, 4, U::AlongBody, kCoatHead, 0.0f, 0.6f},
        {J_HEAD, {0, 5.08f, 2.65f}, {0, 5.0f, 3.45f}, 0.38f, 0.27f, 1.0f, 0.9f, 12, 3, U::AlongBody, kCoatHead, 0.55f, 1.0f},
        {J_JAW, {0, 4.86f, 2.55f}, {0, 4.82f, 3.3f}, 0.28f, 0.18f, 1.0f, 0.62f, 10, 3, U::AlongBody, kCoatHead, 0.6f, 1.0f},
        {J_TONGUE, {0, 4.9f, 2.8f}, {0, 4.86f, 3.3f}, 0.13f, 0.11f, 1.0f, 0.4f, 8, 3, U::Patch, kCoatMouth, 0, 1},
        // Pricked ears, flat front to back.
        {J_EAR_L, {0.4f, 5.6f, 2.0f}, {0.55f, 6.35f, 1.92f}, 0.3f, 0.08f, 1.0f, 0.32f, 8, 3, U::AroundLimb, kCoatEars, 0, 1, front},
        {J_EAR_R, {-0.4f, 5.6f, 2.0f}, {-0.55f, 6.35f, 1.92f}, 0.3f, 0.08f, 1.0f, 0.32f, 8, 3, U::AroundLimb, kCoatEars, 0, 1, front},
        // Eyes and nose.
        {J_HEAD, {0.3f, 5.36f, 2.55f}, {0.31f, 5.36f, 2.58f}, 0.12f, 0.12f, 1, 1, 8, 3, U::Patch, kCoatNose, 0, 1},
        {J_HEAD, {-0.3f, 5.36f, 2.55f}, {-0.31f, 5.36f, 2.58f}, 0.12f, 0.12f, 1, 1, 8, 3, U::Patch, kCoatNose, 0, 1},
        {J_HEAD, {0, 5.06f, 3.47f}, {0, 5.04f, 3.55f}, 0.16f, 0.13f, 1.1f, 0.85f, 8, 3, U::Patch, kCoatNose, 0, 1},
        // Tail in three pieces curving up and back.
        {J_TAIL_1, {0, 3.7f, -2.3f}, {0, 3.95f, -3.0f}, 0.24f, 0.2f, 1, 1, 8, 2, U::AroundLimb, kCoatTail, 0.0f, 0.36f},
        {J_TAIL_2, {0, 3.95f, -3.0f}, {0, 4.35f, -3.6f}, 0.2f, 0.15f, 1, 1, 8, 2, U::AroundLimb, kCoatTail, 0.33f, 0.7f},
        {J_TAIL_3, {0, 4.35f, -3.6f}, {0, 4.8f, -4.0f}, 0.15f, 0.06f, 1, 1, 8, 2, U::AroundLimb, kCoatTail, 0.66f, 1.0f},
    };
    // Legs: upper, lower, the long bones of the foot, and the paw, whose joint
    // sits at the sole.
    for (int leg = 0; leg < 4; leg++) {
        const bool fore = leg < 2;
        const CoatRect col = LegColumn(leg);
        const int top = fore ? J_SHOULDER_L + (leg % 2) * 4 : J_HIP_L + leg % 2;
        const int mid = fore ? top + 1 : J_STIFLE_L + leg % 2;
        const int low = fore ? top + 2 : J_HOCK_L + leg % 2;
        const int paw = dogFeet[leg];
        const VECTOR3D pTop = Rig(top).position, pMid = Rig(mid).position, pLow = Rig(low).position;
        const VECTOR3D pPaw = Rig(paw).position;
        const float upperR = fore ? 0.44f : 0.58f;
        s.push_back({top, Add(pTop, {0, 0.2f, fore ? 0.0f : -0.05f}), pMid, upperR, 0.3f, 0.85f, 1.0f, 10, 3, U::AroundLimb, col, 0.0f, 0.42f, front});
        s.push_back({mid, pMid, pLow, fore ? 0.27f : 0.3f, 0.19f, 1.0f, 1.0f, 8, 2, U::AroundLimb, col, 0.4f, 0.76f, front});
        s.push_back({low, pLow, Add(pPaw, {0, 0.22f, fore ? -0.08f : -0.02f}), 0.19f, 0.18f, 1.0f, 1.0f, 8, 2, U::AroundLimb, col, 0.74f, 0.9f, front});
        // The paw: a flattened ellipsoid resting on the ground.
        s.push_back({paw, Add(pPaw, {0, 0.2f, -0.12f}), Add(pPaw, {0, 0.18f, 0.3f}), 0.23f, 0.2f, 1.15f, 0.88f, 10, 2, U::AroundLimb, col, 0.88f, 1.0f, front});
    }
    return s;
}

void SetName(char* dst, const char* src)
{
    std::strncpy(dst, src, MS3D_NAME_BYTES - 1);
}

// Sweeps one capsule into the model.
void AddSegment(MS3D* m, const Segment& s)
{
    const VECTOR3D axis = Unit(Sub(s.b, s.a));
    const VECTOR3D w = Unit(Sub(s.upRef, Mul(axis, Dot(s.upRef, axis)))); // towards the top
    const VECTOR3D v = Unit(Cross(w, axis));                                // sideways
    const float length = std::sqrt(Dot(Sub(s.b, s.a), Sub(s.b, s.a)));
    const float total = s.ra + length + s.rb;

    // Ring latitudes: the first cap from its pole to its equator, then the second.
    struct Ring {
        VECTOR3D centre;
        float axial, radius, cosTheta, sinTheta;
    };
    std::vector<Ring> rings;
    for (int k = 0; k <= s.capRings; k++) {
        const float th = kPi * 0.5f * k / s.capRings;
        rings.push_back({s.a, -s.ra * std::cos(th), s.ra, std::cos(th), std::sin(th)});
    }
    for (int k = 0; k <= s.capRings; k++) {
        const float th = kPi * 0.5f + kPi * 0.5f * k / s.capRings;
        rings.push_back({s.b, -s.rb * std::cos(th), s.rb, std::cos(th), std::sin(th)});
    }

    struct Corner {
        uint16_t vertex;
        VECTOR3D normal;
        float s, t;
    };
    std::vector<std::vector<Corner>> grid(rings.size());
    for (size_t r = 0; r < rings.size(); r++) {
        const Ring& ring = rings[r];
        const VECTOR3D centre = Add(ring.centre, Mul(axis, ring.axial));
        const float along = (Dot(Sub(centre, s.a), axis) + s.ra) / total;
        for (int c = 0; c <= s.sides; c++) {
            const float phi = 2 * kPi * c / s.sides;
            const VECTOR3D radial = Add(Mul(w, std::cos(phi) * s.up), Mul(v, std::sin(phi) * s.side));
            const VECTOR3D pos = Add(centre, Mul(radial, ring.radius * ring.sinTheta));
            const VECTOR3D bent = Add(Mul(w, std::cos(phi) / s.up), Mul(v, std::sin(phi) / s.side));
            const VECTOR3D normal = Unit(Add(Mul(axis, -ring.cosTheta), Mul(Unit(bent), ring.sinTheta)));

            float across, down;
            switch (s.mode) {
            case UVMode::AlongBody: {
                const float fromTop = c <= s.sides / 2 ? float(c) / (s.sides / 2) : float(s.sides - c) / (s.sides / 2);
                across = s.from + (s.to - s.from) * along;
                down = fromTop;
                break;
            }
            case UVMode::AroundLimb:
                across = float(c) / s.sides;
                down = s.from + (s.to - s.from) * along;
                break;
            default:
                across = 0.3f + 0.4f * float(c) / s.sides;
                down = 0.3f + 0.4f * along;
                break;
            }
            Corner corner;
            corner.vertex = uint16_t(m->vertices.size());
            corner.normal = normal;
            CoatUV(s.rect, across, down, &corner.s, &corner.t);
            MS3D_VERTEX vert;
            vert.boneId = int8_t(s.joint);
            vert.position = pos;
            vert.referenceCount = 0;
            m->vertices.push_back(vert);
            grid[r].push_back(corner);
        }
    }

    auto triangle = [&](const Corner& a, const Corner& b, const Corner& c) {
        const VECTOR3D pa = m->vertices[a.vertex].position, pb = m->vertices[b.vertex].position,
                       pc = m->vertices[c.vertex].position;
        const VECTOR3D face = Cross(Sub(pb, pa), Sub(pc, pa));
        if (Dot(face, face) < 1e-12f)
            return; // collapsed at a pole
        const Corner* k[3] = {&a, &b, &c};
        // Wind every triangle counter-clockwise seen from outside.
        if (Dot(face, Add(Add(a.normal, b.normal), c.normal)) < 0)
            std::swap(k[1], k[2]);
        MS3D_TRIANGLE t;
        for (int i = 0; i < 3; i++) {
            t.vertexIndices[i] = k[i]->vertex;
            t.vertexNormals[i] = k[i]->normal;
            t.s[i] = k[i]->s;
            t.t[i] = k[i]->t;
            m->vertices[k[i]->vertex].referenceCount++;
        }
        t.smoothingGroup = 1;
        t.groupIndex = 0;
        m->groups[0].triangleIndices.push_back(uint16_t(m->triangles.size()));
        m->triangles.push_back(t);
    };
    for (size_t r = 0; r + 1 < rings.size(); r++)
        for (int c = 0; c < s.sides; c++) {
            triangle(grid[r][c], grid[r + 1][c], grid[r + 1][c + 1]);
            triangle(grid[r][c], grid[r + 1][c + 1], grid[r][c + 1]);
        }
}

} // namespace

void BuildCreatureMesh(MS3D* m)
{
    m->groups.assign(1, MS3D_GROUP());
    SetName(m->groups[0].name, "body");
    m->groups[0].materialIndex = 0;

    MS3D_MATERIAL coat;
    SetName(coat.name, "coat");
    const float ambient[4] = {0.6f, 0.6f, 0.6f, 1}, diffuse[4] = {0.85f, 0.85f, 0.85f, 1};
    std::memcpy(coat.ambient, ambient, sizeof ambient);
    std::memcpy(coat.diffuse, diffuse, sizeof diffuse);
    std::strncpy(coat.texture, "coat.tga", sizeof coat.texture - 1);
    m->materials.assign(1, coat);

    for (const Segment& s : Segments())
        AddSegment(m, s);

    m->numVertices = uint16_t(m->vertices.size());
    m->numTriangles = uint16_t(m->triangles.size());
    m->numGroups = 1;
    m->groups[0].numTriangles = uint16_t(m->groups[0].triangleIndices.size());
    m->numMaterials = 1;
}
