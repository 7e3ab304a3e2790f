// CreatureMesh: one continuous skin swept through rings of vertices.
//
// The body is a single tube from the tail tip to the nose. Each leg and ear
// grows out of a hole cut in that tube: the hole's edge is the limb's first
// ring, so the surface runs on without a seam. A ring sits at every joint and
// is shared by the pieces on both sides; each vertex follows one joint, so a
// bend stretches the skin between rings instead of opening it. The lower half
// of the muzzle follows the jaw; the lips are two rows of vertices in the same
// place, one on each joint, and the skin between them, which only shows when
// the mouth opens, is painted as the inside of the mouth. Eyes, nose and
// tongue are small closed shapes set into the head.
#include "CreatureMesh.h"

#include "CoatLayout.h"
#include "CreatureRig.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace {

enum class UVMode {
    AlongBody,  // across = along the body, down = from the top line to the bottom
    AroundLimb, // across = around the limb, down = along it
    OnBody,     // where the point falls on the body's or head's own coat, for thighs, shoulders, ear roots
    Patch,      // the middle of the rectangle, for eyes, nose and tongue
};

constexpr float kPi = 3.14159265358979f;
constexpr int kBodySides = 24;
constexpr int kTailSides = 10;
constexpr int kSmallSides = 10;
constexpr float kLipStep = 1e-4f;
// The single texel in the middle of the light catch painted on the eye.
constexpr CoatRect kCatchLight{kCoatEye.x + 12, kCoatEye.y + 19, 1, 1};

VECTOR3D Add(VECTOR3D a, VECTOR3D b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
VECTOR3D Sub(VECTOR3D a, VECTOR3D b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
VECTOR3D Mul(VECTOR3D a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}
float Dot(VECTOR3D a, VECTOR3D b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
VECTOR3D Cross(VECTOR3D a, VECTOR3D b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
VECTOR3D Unit(VECTOR3D v)
{
    v.Normalize();
    return v;
}
VECTOR3D MirrorX(VECTOR3D v)
{
    return {-v.x, v.y, v.z};
}

// One cross-section. A station with no size is a pole: a single vertex that
// closes the tube. A zero direction means "along the neighbouring stations".
struct Station {
    VECTOR3D centre;
    float side, up; // half width and half height of the ring
    int joint;
    float along; // where the ring falls on its coat rectangle
    VECTOR3D dir = {0, 0, 0};
    int lowerJoint = -1; // the joint the lower half follows, with split lips
    // How far the lower half swells into two haunches either side of a
    // groove up the middle, as a share of the ring's height.
    float haunch = 0;
    int upperJoint = -1; // the joint the upper half follows, when not `joint`
};

struct Piece {
    UVMode mode;
    CoatRect rect;
    VECTOR3D upRef; // which way the ring's first vertex points
    int sides;
    std::vector<Station> stations;
};

// A ring's vertices in order around its axis, with the fraction of a turn at
// which each sits (0 at the ring's top).
struct Loop {
    std::vector<uint16_t> vertex;
    std::vector<float> around;
    float along = 0;
};

class Skin {
public:
    explicit Skin(MS3D* m) : m_(m) {}

    // The body's and head's rings, so that a thigh, shoulder or ear can take
    // its fur from the place it grows out of: its root then has exactly that
    // place's texture coordinates and markings run on across the join.
    void SetBody(const Piece& part, const std::vector<Loop>& rings)
    {
        (part.rect.y == kCoatHead.y ? head_ : torso_) = part.stations;
        for (const Loop& l : rings)
            for (size_t k = 0; k < l.vertex.size(); k++)
                onBody_[l.vertex[k]] = {l.along, Down(l.around[k])};
    }

    uint16_t Vertex(VECTOR3D pos, int joint, bool lip = false)
    {
        MS3D_VERTEX v;
        v.boneId = int8_t(joint);
        v.position = pos;
        m_->vertices.push_back(v);
        lip_.push_back(lip);
        return uint16_t(m_->vertices.size() - 1);
    }

    // The rings of a piece, in order; `dir` of each is taken from the stations
    // on either side when not given.
    std::vector<Loop> Rings(const Piece& p)
    {
        std::vector<Loop> rings;
        const std::vector<Station>& st = p.stations;
        for (size_t i = 0; i < st.size(); i++) {
            VECTOR3D dir = st[i].dir;
            if (Dot(dir, dir) == 0)
                dir = Sub(st[std::min(i + 1, st.size() - 1)].centre, st[i > 0 ? i - 1 : 0].centre);
            rings.push_back(Ring(st[i], Unit(dir), p.upRef, p.sides));
        }
        return rings;
    }

    // Joins two rings (a behind, b ahead along the tube, both ordered the same
    // way round) with triangles, zipping them by angle so they may differ in
    // size. `skip` leaves out columns of equal rings, to cut a hole.
    void Stitch(const Loop& a, const Loop& b, const Piece& p, const std::vector<int>& skip = {})
    {
        const size_t na = a.vertex.size(), nb = b.vertex.size();
        auto at = [](const Loop& l, size_t k) {
            const size_t n = l.vertex.size();
            return Corner{l.vertex[k % n], l.around[k % n] + float(k / n), l.along};
        };
        size_t i = 0, j = 0;
        while (i < na || j < nb) {
            const bool stepA = j == nb || (i < na && at(a, i + 1).around <= at(b, j + 1).around);
            const int column = int(stepA ? i : j);
            const bool keep = std::find(skip.begin(), skip.end(), column) == skip.end();
            if (stepA) {
                if (keep)
                    Triangle(at(a, i), at(b, j), at(a, i + 1), p);
                i++;
            } else {
                if (keep)
                    Triangle(at(a, i), at(b, j), at(b, j + 1), p);
                j++;
            }
        }
    }

    // Sweeps a piece from a ring already in the skin (or from its own first
    // station when `from` is empty).
    std::vector<Loop> Sweep(const Piece& p, const Loop* from = nullptr)
    {
        std::vector<Loop> rings = Rings(p);
        if (from)
            Stitch(*from, rings.front(), p);
        for (size_t r = 0; r + 1 < rings.size(); r++)
            Stitch(rings[r], rings[r + 1], p);
        return rings;
    }

    // Smooth normals from the finished surface, so lighting runs on across
    // the places where pieces meet.
    void FinishNormals()
    {
        std::vector<VECTOR3D> sum(m_->vertices.size(), VECTOR3D{0, 0, 0});
        for (const MS3D_TRIANGLE& t : m_->triangles) {
            const VECTOR3D face = FaceCross(t);
            for (uint16_t v : t.vertexIndices)
                sum[v] = Add(sum[v], face);
        }
        for (MS3D_TRIANGLE& t : m_->triangles)
            for (int c = 0; c < 3; c++)
                t.vertexNormals[c] = Unit(sum[t.vertexIndices[c]]);
    }

    // Drops the vertices inside the holes, which no triangle uses.
    void DropUnused()
    {
        std::vector<int> newIndex(m_->vertices.size(), -1);
        std::vector<MS3D_VERTEX> kept;
        for (size_t i = 0; i < m_->vertices.size(); i++)
            if (m_->vertices[i].referenceCount > 0) {
                newIndex[i] = int(kept.size());
                kept.push_back(m_->vertices[i]);
            }
        for (MS3D_TRIANGLE& t : m_->triangles)
            for (uint16_t& v : t.vertexIndices)
                v = uint16_t(newIndex[v]);
        m_->vertices = kept;
    }

private:
    struct Corner {
        uint16_t vertex;
        float around, along;
    };

    Loop Ring(const Station& s, VECTOR3D axis, VECTOR3D upRef, int sides)
    {
        Loop l;
        l.along = s.along;
        if (s.side == 0 && s.up == 0) {
            l.vertex.push_back(Vertex(s.centre, s.joint, s.lowerJoint >= 0));
            l.around.push_back(0);
            return l;
        }
        const VECTOR3D w = Unit(Sub(upRef, Mul(axis, Dot(upRef, axis)))); // towards the top
        const VECTOR3D v = Cross(w, axis);                                // sideways
        for (int k = 0; k < sides; k++) {
            const float turn = float(k) / sides, phi = 2 * kPi * turn;
            const float c = std::cos(phi), sn = std::sin(phi);
            // Below the middle: down under each haunch, up in the groove.
            const float swell = c < 0 ? s.haunch * -c * (2 * sn * sn - 0.5f) : 0.0f;
            const VECTOR3D pos = Add(s.centre, Add(Mul(w, (c - swell) * s.up), Mul(v, sn * s.side)));
            const bool lower = turn > 0.25f && turn < 0.75f;
            const bool lipLine = s.lowerJoint >= 0 && (4 * k == sides || 4 * k == 3 * sides);
            if (lipLine) {
                // Upper lip first on the way down the right side, lower first
                // on the way back up.
                const bool down = 4 * k == sides;
                const uint16_t upper = Vertex(pos, s.joint, true), jaw = Vertex(pos, s.lowerJoint, true);
                l.vertex.push_back(down ? upper : jaw);
                l.vertex.push_back(down ? jaw : upper);
                // The second a hair further round, so that the zip between
                // two rings closes the mouth with triangles that each span
                // the lips (flat while shut) instead of fanning lip-coloured
                // slivers over the muzzle.
                l.around.push_back(turn);
                l.around.push_back(turn + kLipStep);
                continue;
            }
            const int half = lower ? s.lowerJoint : s.upperJoint;
            l.vertex.push_back(Vertex(pos, half >= 0 ? half : s.joint));
            l.around.push_back(turn);
        }
        return l;
    }

    VECTOR3D FaceCross(const MS3D_TRIANGLE& t) const
    {
        const VECTOR3D a = m_->vertices[t.vertexIndices[0]].position, b = m_->vertices[t.vertexIndices[1]].position,
                       c = m_->vertices[t.vertexIndices[2]].position;
        return Cross(Sub(b, a), Sub(c, a));
    }

    // The inside of the mouth: triangles with every corner on the line
    // where the lips meet, flat while it is shut.
    bool Mouth(const Corner* k[3]) const { return lip_[k[0]->vertex] && lip_[k[1]->vertex] && lip_[k[2]->vertex]; }

    // a and b on one ring or the other, wound counter-clockwise from outside
    // because rings turn the same way about the direction of the sweep.
    void Triangle(const Corner& a, const Corner& b, const Corner& c, const Piece& p)
    {
        if (a.vertex == b.vertex || b.vertex == c.vertex || a.vertex == c.vertex)
            return; // the fan closing a pole
        const Corner* k[3] = {&a, &b, &c};
        const bool mouth = Mouth(k);
        MS3D_TRIANGLE t;
        for (int i = 0; i < 3; i++) {
            float across, down;
            if (mouth) {
                across = 0.5f;
                down = 0.5f;
            } else if (p.mode == UVMode::AlongBody) {
                across = k[i]->along;
                down = Down(k[i]->around);
            } else if (p.mode == UVMode::OnBody) {
                const auto uv = OnBody(k[i]->vertex, p.rect.y == kCoatHead.y ? head_ : torso_);
                across = uv.first;
                down = uv.second;
            } else if (p.mode == UVMode::AroundLimb) {
                across = k[i]->around;
                down = k[i]->along;
            } else {
                across = 0.3f + 0.4f * (k[i]->around - std::floor(k[i]->around));
                down = 0.3f + 0.4f * k[i]->along;
            }
            CoatUV(mouth ? kCoatMouth : p.rect, across, down, &t.s[i], &t.t[i]);
            t.vertexIndices[i] = k[i]->vertex;
            m_->vertices[k[i]->vertex].referenceCount++;
        }
        t.smoothingGroup = 1;
        t.groupIndex = 0;
        m_->groups[0].triangleIndices.push_back(uint16_t(m_->triangles.size()));
        m_->triangles.push_back(t);
    }

    // From the top line (0) round the side to the middle of the underside (1).
    static float Down(float around)
    {
        const float turn = around - std::floor(around);
        return turn <= 0.5f ? 2 * turn : 2 * (1 - turn);
    }

    // A body vertex keeps its own place on the coat; any other point is
    // placed by the body's cross-section at its distance along the body and
    // its angle about the body's axis there.
    std::pair<float, float> OnBody(uint16_t vertex, const std::vector<Station>& part) const
    {
        const auto known = onBody_.find(vertex);
        if (known != onBody_.end())
            return known->second;
        const VECTOR3D p = m_->vertices[vertex].position;
        size_t i = 0;
        while (i + 2 < part.size() && part[i + 1].centre.z < p.z)
            i++;
        const Station &a = part[i], &b = part[i + 1];
        const float t = std::clamp((p.z - a.centre.z) / (b.centre.z - a.centre.z), 0.0f, 1.0f);
        auto lerp = [t](float x, float y) { return x + (y - x) * t; };
        const float side = lerp(a.side, b.side), up = lerp(a.up, b.up), y = lerp(a.centre.y, b.centre.y);
        const float angle = std::atan2(std::fabs(p.x) / side, (p.y - y) / up);
        return {lerp(a.along, b.along), angle / kPi};
    }

    MS3D* m_;
    std::vector<bool> lip_;
    std::vector<Station> torso_, head_;
    std::map<uint16_t, std::pair<float, float>> onBody_;
};

// Tail, from its tip to where it joins the rump: up from the rump in a gentle
// curve that leans forward over the back and a little to one side, so the
// curve shows from the front quarter as well as in profile, its tip rising
// rather than hooking towards the head (a hooked tip reads as a knob from the
// front); thick at the root and tapering evenly to a slim, softly rounded
// tip, so it ends neither in a knob nor in a spike. Its fur stops short of
// the bottom of the coat's tail patch: the dark patch below it would
// otherwise bleed into the tip through the texture's filtering and ring it in
// black.
Piece Tail()
{
    return {UVMode::AroundLimb,
            kCoatTail,
            {0, 1, 0},
            kTailSides,
            {
                {{0.13f, 4.36f, -3.1f}, 0, 0, J_TAIL_3, 0.9f},
                {{0.125f, 4.32f, -3.12f}, 0.06f, 0.06f, J_TAIL_3, 0.855f},
                {{0.12f, 4.25f, -3.14f}, 0.11f, 0.11f, J_TAIL_3, 0.8f},
                {{0.1f, 4.13f, -3.17f}, 0.15f, 0.15f, J_TAIL_3, 0.72f},
                {{0.06f, 3.92f, -3.22f}, 0.2f, 0.2f, J_TAIL_3, 0.612f},
                {{0.02f, 3.66f, -3.12f}, 0.25f, 0.25f, J_TAIL_2, 0.486f},
                {{0, 3.4f, -2.95f}, 0.27f, 0.27f, J_TAIL_2, 0.342f},
                {{0, 3.18f, -2.7f}, 0.3f, 0.3f, J_TAIL_1, 0.18f},
                {{0, 3.04f, -2.5f}, 0.33f, 0.33f, J_TAIL_1, 0.045f},
            }};
}

// Rump to chest and up the neck; the first ring is the tail's last. Under
// the rump the rings swell into two haunches with a groove between them
// below the tail, so from behind the rump parts into the tops of the thighs
// instead of ending in one flat edge. A broad, deep chest; the trunk is
// drawn long and shortened afterwards (ShortenTrunk). The neck's rings lean
// back less the nearer they are to the back, so the top line rises smoothly
// from the withers to the skull instead of ringing the neck with a ledge.
// The neck bends low, near the throat, so raising the head swings the top of
// the neck's rings back over the withers; the top half of its first ring
// rides with the chest, so that fold lies inside the neck and the neck's top
// line rises from the back's instead of dipping into a notch behind the ears,
// while the throat below still bends with the neck.
Piece Torso()
{
    const VECTOR3D z = {0, 0, 1};
    return {UVMode::AlongBody,
            kCoatTorso,
            {0, 1, 0},
            kBodySides,
            {
                {{0, 3.02f, -2.45f}, 0.43f, 0.4f, J_PELVIS, 0.0f, z, -1, 0.15f},
                {{0, 2.98f, -2.3f}, 0.73f, 0.66f, J_PELVIS, 0.04f, z, -1, 0.5f},
                {{0, 2.95f, -2.08f}, 0.89f, 0.8f, J_PELVIS, 0.1f, z, -1, 0.55f},
                {{0, 2.93f, -1.78f}, 0.93f, 0.86f, J_PELVIS, 0.18f, z, -1, 0.45f},
                {{0, 2.92f, -1.46f}, 0.92f, 0.85f, J_PELVIS, 0.26f, z, -1, 0.2f},
                {{0, 2.93f, -1.14f}, 0.87f, 0.8f, J_PELVIS, 0.34f, z},
                {{0, 2.95f, -0.8f}, 0.84f, 0.78f, J_PELVIS, 0.43f, z},
                {{0, 2.97f, -0.44f}, 0.84f, 0.82f, J_PELVIS, 0.52f, z},
                {{0, 2.99f, -0.08f}, 0.86f, 0.88f, J_CHEST, 0.6f, z},
                {{0, 3.01f, 0.26f}, 0.93f, 0.97f, J_CHEST, 0.68f, z},
                {{0, 3.03f, 0.58f}, 0.96f, 1.03f, J_CHEST, 0.75f, z},
                {{0, 3.06f, 0.88f}, 0.96f, 1.02f, J_CHEST, 0.8f, z},
                {{0, 3.12f, 1.18f}, 0.91f, 0.96f, J_CHEST, 0.86f, z},
                {{0, 3.355f, 1.59f}, 0.71f, 0.83f, J_CHEST, 0.91f, {0, 0.28f, 0.96f}},
                {{0, 3.59f, 1.81f}, 0.62f, 0.74f, J_NECK, 0.96f, {0, 0.42f, 0.91f}, -1, 0, J_CHEST},
                {{0, 3.85f, 2.04f}, 0.56f, 0.66f, J_NECK, 1.0f, {0, 0.55f, 0.84f}},
            }};
}

// A big round skull, a short blunt muzzle and a broad nose tip; the first ring is
// the neck's last.
Piece Head()
{
    return {UVMode::AlongBody,
            kCoatHead,
            {0, 1, 0},
            kBodySides,
            {
                {{0, 4.22f, 2.02f}, 0.58f, 0.62f, J_HEAD, 0.05f, {0, 0.6f, 0.8f}},
                {{0, 4.5f, 2.2f}, 0.8f, 0.82f, J_HEAD, 0.18f, {0, 0.3f, 0.95f}},
                {{0, 4.58f, 2.47f}, 0.84f, 0.82f, J_HEAD, 0.32f, {0, 0.05f, 1}},
                {{0, 4.5f, 2.75f}, 0.74f, 0.7f, J_HEAD, 0.46f, {0, -0.2f, 1}},
                {{0, 4.3f, 2.96f}, 0.55f, 0.5f, J_HEAD, 0.58f, {0, -0.25f, 1}, J_JAW},
                {{0, 4.24f, 3.14f}, 0.45f, 0.4f, J_HEAD, 0.72f, {0, -0.05f, 1}, J_JAW},
                {{0, 4.23f, 3.32f}, 0.4f, 0.34f, J_HEAD, 0.86f, {0, 0, 1}, J_JAW},
                {{0, 4.24f, 3.45f}, 0.3f, 0.25f, J_HEAD, 0.95f, {0, 0, 1}, J_JAW},
                {{0, 4.25f, 3.5f}, 0, 0, J_HEAD, 1.0f, {0, 0, 1}, J_JAW},
            }};
}

// A hole in the body: `gaps` ring gaps from ring `ring`, `columns` columns
// from column `column`.
struct Hole {
    int ring, gaps, column, columns;
};

Hole Mirrored(Hole h)
{
    return {h.ring, h.gaps, kBodySides - h.column - h.columns, h.columns};
}

// The hole's edge as a ring about the limb's axis, turning the way the limb's
// own rings turn. It is walked round the hole's border, so it stays in order
// however the body's rings lean; its angles are spread by length along the
// edge from the vertex nearest the limb's front.
Loop HoleEdge(const std::vector<Loop>& rings, const Hole& h, const MS3D& m, const Piece& limb)
{
    std::vector<uint16_t> edge;
    auto at = [&](int r, int c) { return rings[r].vertex[c % kBodySides]; };
    for (int c = 0; c < h.columns; c++)
        edge.push_back(at(h.ring, h.column + c));
    for (int g = 0; g < h.gaps; g++)
        edge.push_back(at(h.ring + g, h.column + h.columns));
    for (int c = h.columns; c > 0; c--)
        edge.push_back(at(h.ring + h.gaps, h.column + c));
    for (int g = h.gaps; g > 0; g--)
        edge.push_back(at(h.ring + g, h.column));

    const Station& s0 = limb.stations[0];
    const VECTOR3D axis = Unit(Sub(limb.stations[1].centre, s0.centre));
    const VECTOR3D w = Unit(Sub(limb.upRef, Mul(axis, Dot(limb.upRef, axis))));
    const VECTOR3D v = Cross(w, axis);
    auto turnOf = [&](uint16_t i) {
        const VECTOR3D d = Sub(m.vertices[i].position, s0.centre);
        const float t = std::atan2(Dot(d, v), Dot(d, w)) / (2 * kPi);
        return t < 0 ? t + 1 : t;
    };
    float winding = 0;
    for (size_t k = 0; k < edge.size(); k++) {
        float d = turnOf(edge[(k + 1) % edge.size()]) - turnOf(edge[k]);
        winding += d - std::round(d);
    }
    if (winding < 0)
        std::reverse(edge.begin(), edge.end());
    size_t start = 0;
    for (size_t k = 1; k < edge.size(); k++)
        if (turnOf(edge[k]) < turnOf(edge[start]))
            start = k;
    std::rotate(edge.begin(), edge.begin() + long(start), edge.end());

    std::vector<float> length(1, 0.0f);
    for (size_t k = 0; k < edge.size(); k++) {
        const VECTOR3D d = Sub(m.vertices[edge[(k + 1) % edge.size()]].position, m.vertices[edge[k]].position);
        length.push_back(length.back() + std::sqrt(Dot(d, d)));
    }
    Loop l;
    l.along = s0.along;
    const float first = turnOf(edge[0]);
    for (size_t k = 0; k < edge.size(); k++) {
        l.vertex.push_back(edge[k]);
        l.around.push_back(first + length[k] / length.back());
    }
    return l;
}

// Cuts a hole and grows a limb from it. The limb's first station is only a
// reference point above the hole (its centre and the direction to the next
// station give the axis to order the edge by). The limb's rings up to
// `onBody` (a thigh, a shoulder, an ear's root) wear the coat of `bodyRect`
// (the body's or the head's), the rest their own.
void Limb(Skin& skin, const MS3D& m, const std::vector<Loop>& body, std::vector<std::vector<int>>& skips, Hole h,
          Piece limb, size_t onBody, const CoatRect& bodyRect)
{
    for (int g = 0; g < h.gaps; g++)
        for (int c = 0; c < h.columns; c++)
            skips[h.ring + g].push_back(h.column + c);
    const Loop edge = HoleEdge(body, h, m, limb);
    limb.stations.erase(limb.stations.begin());
    Piece upper = limb;
    upper.mode = UVMode::OnBody;
    upper.rect = bodyRect;
    upper.stations.resize(onBody);
    const Loop last = skin.Sweep(upper, &edge).back();
    limb.stations.erase(limb.stations.begin(), limb.stations.begin() + long(onBody));
    skin.Sweep(limb, &last);
}

// The right-hand joint of a left-hand one.
int RightOf(int joint)
{
    switch (joint) {
    case J_EAR_L:
        return J_EAR_R;
    case J_HIP_L:
        return J_HIP_R;
    case J_STIFLE_L:
        return J_STIFLE_R;
    case J_HOCK_L:
        return J_HOCK_R;
    case J_PAW_HL:
        return J_PAW_HR;
    default:
        return joint >= J_SHOULDER_L && joint <= J_PAW_FL ? joint + J_SHOULDER_R - J_SHOULDER_L : joint;
    }
}

Piece Mirrored(Piece p, CoatRect rect)
{
    for (Station& s : p.stations) {
        s.centre = MirrorX(s.centre);
        s.dir = MirrorX(s.dir);
        s.joint = RightOf(s.joint);
    }
    p.rect = rect;
    return p;
}

// Legs taper from a full upper leg to a sturdy lower one and end in a round
// paw a little wider than the leg. The foreleg narrows evenly from the chest
// to the elbow, with no shelf under the chest whose downward face would sit
// in shadow over a lit forearm, and below the elbow a full forearm tapers to
// a slim wrist, so it reads as a leg rather than a tube and shades as one
// piece. The top of the foreleg rides with the
// chest and the upper arm starts well below it, and the rings at and just
// below the elbow move with the upper arm, so the skin that stretches as the
// leg swings and bends has room to do so without folding at the shoulder,
// and with the forearm folded forward (lying, bowing) the skin crumpled on
// the inside of the bend lies within the forearm instead of turning up a
// band of fur facing the sky across it.
Piece FrontLeg()
{
    return {UVMode::AroundLimb,
            CoatLegColumn(0),
            {0, 0, 1},
            10,
            {
                {{0.64f, 2.95f, 1.3f}, 0, 0, J_SHOULDER_L, 0.0f},
                {{0.66f, 2.5f, 1.28f}, 0.42f, 0.5f, J_CHEST, 0.2f},
                {{0.64f, 2.05f, 1.24f}, 0.34f, 0.36f, J_SHOULDER_L, 0.34f},
                {{0.62f, 1.8f, 1.22f}, 0.31f, 0.34f, J_SHOULDER_L, 0.42f},
                {{0.62f, 1.58f, 1.2f}, 0.3f, 0.33f, J_SHOULDER_L, 0.48f},
                {{0.62f, 1.35f, 1.24f}, 0.28f, 0.3f, J_ELBOW_L, 0.55f},
                {{0.62f, 1.05f, 1.29f}, 0.25f, 0.26f, J_ELBOW_L, 0.64f},
                {{0.62f, 0.65f, 1.35f}, 0.2f, 0.21f, J_WRIST_L, 0.75f},
                {{0.62f, 0.36f, 1.41f}, 0.21f, 0.23f, J_WRIST_L, 0.84f},
                {{0.62f, 0.2f, 1.52f}, 0.27f, 0.32f, J_PAW_FL, 0.92f},
                {{0.62f, 0.07f, 1.58f}, 0.27f, 0.34f, J_PAW_FL, 0.97f},
                {{0.62f, 0.0f, 1.58f}, 0, 0, J_PAW_FL, 1.0f},
            }};
}

// The hind leg. The top of the thigh lies flush with the flank, wears the
// body's coat and moves with the pelvis, so the haunch reads as part of the
// body from any side and however far the hip folds. It grows from a hole
// reaching from the middle of the flank to the haunch's underside and is as
// wide as the hole, so the skin runs straight down from the haunch rather
// than flaring out over a shelf; below it the thigh narrows evenly to the
// stifle and the hock, its front edge running on from the belly's line, and
// the bend at the hip falls between the top two rings. The stifle turns about
// a point at the front of the leg, so as it folds the skin behind it gathers:
// the ring just below that point still rides with the thigh, and the lower
// leg's first ring sits low and leans further down at the back, keeping its
// front where the knee's outline runs on into the shin, so the skin between
// them has room to close before it turns inside out.
Piece HindLeg()
{
    return {UVMode::AroundLimb,
            CoatLegColumn(2),
            {0, 0, 1},
            10,
            {
                {{0.8f, 2.84f, -1.8f}, 0, 0, J_HIP_L, 0.0f},
                {{0.58f, 2.12f, -1.8f}, 0.36f, 0.54f, J_PELVIS, 0.14f},
                {{0.6f, 1.88f, -1.64f}, 0.33f, 0.45f, J_HIP_L, 0.28f},
                {{0.62f, 1.66f, -1.64f}, 0.29f, 0.42f, J_HIP_L, 0.42f},
                {{0.62f, 1.14f, -1.95f}, 0.25f, 0.32f, J_STIFLE_L, 0.6f, {0, -1, 0.6f}},
                {{0.62f, 0.85f, -2.05f}, 0.22f, 0.25f, J_HOCK_L, 0.72f},
                {{0.62f, 0.42f, -1.98f}, 0.23f, 0.25f, J_HOCK_L, 0.84f},
                {{0.62f, 0.2f, -1.83f}, 0.26f, 0.31f, J_PAW_HL, 0.92f},
                {{0.62f, 0.07f, -1.78f}, 0.26f, 0.33f, J_PAW_HL, 0.97f},
                {{0.62f, 0.0f, -1.78f}, 0, 0, J_PAW_HL, 1.0f},
            }};
}

// A soft ear: it rises a little from the top of the skull, folds outwards
// and tips over, hanging close against the side of the head so that from
// above it reads as part of the head, not a handle. Wide front to back and
// thin across the flap. Like the tail, its tip keeps off the bottom edge of
// its coat patch, so the tip is not outlined in the colour of the patch below.
Piece Ear()
{
    return {UVMode::AroundLimb,
            kCoatEars,
            {0, 0, 1},
            8,
            {
                {{0.42f, 4.85f, 2.2f}, 0, 0, J_EAR_L, 0.0f},
                {{0.6f, 5.04f, 2.17f}, 0.08f, 0.3f, J_EAR_L, 0.27f},
                {{0.78f, 5.02f, 2.15f}, 0.07f, 0.35f, J_EAR_L, 0.495f},
                {{0.9f, 4.76f, 2.16f}, 0.06f, 0.29f, J_EAR_L, 0.72f},
                {{0.93f, 4.45f, 2.18f}, 0, 0, J_EAR_L, 0.9f},
            }};
}

// A small closed ellipsoid along `axis`, for eyes, nose and tongue.
Piece Blob(VECTOR3D centre, VECTOR3D half, int joint, CoatRect rect)
{
    std::vector<Station> st;
    const int rings = 4;
    for (int k = 0; k <= rings; k++) {
        const float a = kPi * k / rings, r = k == 0 || k == rings ? 0.0f : std::sin(a);
        st.push_back(
            {Add(centre, {0, 0, -half.z * std::cos(a)}), half.x * r, half.y * r, joint, float(k) / rings, {0, 0, 1}});
    }
    return {UVMode::Patch, rect, {0, 1, 0}, kSmallSides, st};
}

// The tongue, drawn as it lolls out of the panting mouth: a broad, flat
// blade, several times wider than it is thick, that lies on the floor of the
// mouth, drapes over the lower lip and hangs a little below it, ending in a
// round tip. It is built folded back into the closed mouth, turned about its
// joint by the opposite of the pitch at which the pant holds it.
Piece Tongue()
{
    const VECTOR3D pivot = {0, 4.1f, 3.22f}; // the tongue's joint, as drawn (before the legs are shortened)
    const float a = -kTongueOutPitch * kPi / 180, c = std::cos(a), s = std::sin(a);
    auto folded = [&](float dy, float dz) { return Add(pivot, {0, dy * c - dz * s, dy * s + dz * c}); };
    struct Along {
        float dy, dz, half; // up and forward from the joint, half the width
    };
    // Over the lip and down; the tip closes as a half circle of the
    // blade's width.
    std::vector<Along> path = {{0.03f, -0.14f, 0},    {0.04f, -0.08f, 0.12f}, {0.05f, 0.04f, 0.2f},
                               {0.04f, 0.17f, 0.24f}, {0.0f, 0.28f, 0.26f},   {-0.08f, 0.36f, 0.26f},
                               {-0.18f, 0.4f, 0.25f}};
    const Along hang = path.back();
    for (float deg : {35.0f, 60.0f, 80.0f, 90.0f}) {
        const float t = deg * kPi / 180;
        path.push_back(
            {hang.dy - hang.half * std::sin(t), hang.dz + 0.02f * std::sin(t), deg < 90 ? hang.half * std::cos(t) : 0});
    }
    // The rings' first vertex points across the mouth, so `up` is half the
    // width and `side` half the thickness whichever way the blade runs.
    Piece p{UVMode::Patch, kCoatTongue, {1, 0, 0}, kSmallSides, {}};
    const int n = int(path.size());
    for (int k = 0; k < n; k++)
        p.stations.push_back(
            {folded(path[k].dy, path[k].dz), path[k].half * 0.33f, path[k].half, J_TONGUE, float(k) / (n - 1)});
    return p;
}

// An ear is a thin flap: its smooth normals turn half round across a rim
// only a few pixels wide, so a flap seen edge on with the light behind the
// eye (as when following a dog) shows its rim lit and both faces, turned
// side on to the light, dark: a dark outline round a bright line. Its fur
// takes the light from above as the skull beside it does, so the flap's
// normals lean up towards the sky, those under the fold as far as the
// rest, and the faces stay lit at a glancing light.
constexpr float kEarSkyLean = 0.9f;

// Normals live on the triangles' corners: calls fn(vertex index, vertex,
// normal) for every corner, so a pass can turn the normals of some vertices.
template <typename Fn>
void ForEachCorner(MS3D* m, Fn fn)
{
    for (MS3D_TRIANGLE& t : m->triangles)
        for (int c = 0; c < 3; c++)
            fn(size_t(t.vertexIndices[c]), m->vertices[t.vertexIndices[c]], t.vertexNormals[c]);
}

void LeanEarsToTheSky(MS3D* m)
{
    ForEachCorner(m, [](size_t, const MS3D_VERTEX& v, VECTOR3D& n) {
        if (v.boneId == J_EAR_L || v.boneId == J_EAR_R)
            n = Unit(Add(n, {0, kEarSkyLean + std::max(0.0f, -n.y), 0}));
    });
}

// Seen from behind with the light above the eye, the underside of a haunch
// and the back of a thigh, which turn a little to the ground, sit in shadow
// over the hocks below them, lit as they lean back in the stride, and the
// thigh reads as a box with separate legs hanging from it. Their fur takes
// the light as the leg below does: the downward part of their normals is
// mostly taken away, fading in below the hip, and the back of the thigh
// leans up a little more, fading out again towards the hock; the groove
// under the tail stays dark between the thighs.
constexpr float kThighSkyLean = 0.7f, kThighBackLift = 0.4f;

void LeanThighsToTheSky(MS3D* m)
{
    const VECTOR3D hip = Rig(J_HIP_L).position, hock = Rig(J_HOCK_L).position;
    ForEachCorner(m, [&](size_t, const MS3D_VERTEX& v, VECTOR3D& n) {
        const int j = v.boneId;
        const bool haunch = j == J_PELVIS || j == J_HIP_L || j == J_HIP_R || j == J_STIFLE_L || j == J_STIFLE_R;
        if (!haunch || std::fabs(v.position.x) < 0.3f || v.position.z > hip.z + 0.4f)
            return;
        const float below = std::clamp((hip.y - v.position.y) / 0.4f, 0.0f, 1.0f);
        const float above = std::clamp((v.position.y - hock.y) / (hip.y - 0.4f - hock.y), 0.0f, 1.0f);
        if (n.y < 0)
            n.y *= 1 - kThighSkyLean * below;
        n = Unit({n.x, n.y + kThighBackLift * below * above * std::max(0.0f, -n.z), n.z});
    });
}

// The eye's light catch is a reflection of the sky: it shows bright whenever
// the light is above, not only when it falls on the side of the head, so
// the bead's normals lean up (keeping it facing the side in profile).
constexpr float kCatchSkyLean = 0.6f;

void LeanCatchToTheSky(MS3D* m, size_t first, size_t last)
{
    ForEachCorner(m, [&](size_t i, const MS3D_VERTEX&, VECTOR3D& n) {
        if (i >= first && i < last)
            n = Unit(Add(n, {0, kCatchSkyLean, 0}));
    });
}

void SetName(char* dst, const char* src)
{
    std::strncpy(dst, src, MS3D_NAME_BYTES - 1);
}

void BuildSkin(MS3D* m)
{
    Skin skin(m);
    std::vector<Loop> tail = skin.Sweep(Tail());
    const Piece torso = Torso(), head = Head();
    std::vector<Loop> body = skin.Rings(torso);
    const size_t neckEnd = body.size();
    for (Loop& l : skin.Rings(head))
        body.push_back(l);
    std::vector<std::vector<int>> skips(body.size());
    skin.SetBody(torso, std::vector<Loop>(body.begin(), body.begin() + long(neckEnd)));
    skin.SetBody(head, std::vector<Loop>(body.begin() + long(neckEnd), body.end()));

    // Legs from holes on the lower flanks, ears from holes on top of the skull.
    const Hole fore{11, 2, 6, 3}, hind{1, 3, 6, 5}, ear{int(neckEnd), 1, 1, 3};
    // Shoulder and thigh down to the elbow and stifle wear the flank's coat,
    // an ear's root the skull's.
    const size_t upperLeg = 3, thigh = 3, earRoot = 1;
    Limb(skin, *m, body, skips, fore, FrontLeg(), upperLeg, kCoatTorso);
    Limb(skin, *m, body, skips, Mirrored(fore), Mirrored(FrontLeg(), CoatLegColumn(1)), upperLeg, kCoatTorso);
    Limb(skin, *m, body, skips, hind, HindLeg(), thigh, kCoatTorso);
    Limb(skin, *m, body, skips, Mirrored(hind), Mirrored(HindLeg(), CoatLegColumn(3)), thigh, kCoatTorso);
    Limb(skin, *m, body, skips, ear, Ear(), earRoot, kCoatHead);
    Limb(skin, *m, body, skips, Mirrored(ear), Mirrored(Ear(), kCoatEars), earRoot, kCoatHead);

    // The body tube itself, skipping the holes.
    Loop rump = tail.back();
    rump.along = torso.stations.front().along;
    skin.Stitch(rump, body.front(), torso);
    for (size_t r = 0; r + 1 < body.size(); r++) {
        const Piece& p = r + 1 < neckEnd ? torso : head;
        Loop a = body[r];
        if (r + 1 == neckEnd)
            a.along = 0;
        skin.Stitch(a, body[r + 1], p, skips[r]);
    }

    // Big eyes and the nose set into the head, the tongue folded inside the
    // mouth.
    // They sit into the skull, barely proud of its side, so that in three-
    // quarter view the far eye stays inside the head's outline.
    const VECTOR3D eye = {0.17f, 0.19f, 0.14f};
    std::vector<std::pair<size_t, size_t>> catches; // each bead's vertices
    for (float side : {1.0f, -1.0f}) {
        const VECTOR3D centre = {0.455f * side, 4.68f, 2.88f};
        skin.Sweep(Blob(centre, eye, J_HEAD, kCoatEye));
        // A bead of the eye's light catch, high on the outer front of the
        // eye, standing a little proud of it, so the light shows in profile
        // as well as from the front.
        const VECTOR3D out = {0.85f * side * eye.x, 0.4f * eye.y, 0.3f * eye.z};
        const size_t first = m->vertices.size();
        skin.Sweep(Blob(Add(centre, out), {0.05f, 0.055f, 0.055f}, J_HEAD, kCatchLight));
        catches.emplace_back(first, m->vertices.size());
    }
    skin.Sweep(Blob({0, 4.3f, 3.47f}, {0.19f, 0.13f, 0.1f}, J_HEAD, kCoatNose));
    skin.Sweep(Tongue());
    // Toes: three plump, rounded bumps at the front of each paw, in the
    // sock's colour, about as tall as they are wide so they read as toes
    // and not as claws.
    const int paws[4] = {J_PAW_FL, J_PAW_FR, J_PAW_HL, J_PAW_HR};
    for (int leg = 0; leg < 4; leg++) {
        const VECTOR3D at = DrawnRig(paws[leg]).position;
        const CoatRect column = CoatLegColumn(leg);
        const CoatRect sole = {column.x, column.y + column.h * 7 / 8, column.w, column.h / 8};
        for (float dx : {-0.15f, 0.0f, 0.15f})
            skin.Sweep(
                Blob({at.x + dx, 0.12f, at.z + 0.36f - std::fabs(dx) * 0.5f}, {0.1f, 0.12f, 0.12f}, paws[leg], sole));
    }
    for (MS3D_VERTEX& v : m->vertices) {
        v.position = PlaceOnHead(v.boneId, v.position);
        v.position.y = ShortenLegs(v.position.y);
        v.position.z = ShortenTrunk(v.position.z);
    }
    skin.FinishNormals();
    LeanEarsToTheSky(m);
    LeanThighsToTheSky(m);
    for (const auto& bead : catches)
        LeanCatchToTheSky(m, bead.first, bead.second);
    skin.DropUnused();
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

    BuildSkin(m);

    m->numVertices = uint16_t(m->vertices.size());
    m->numTriangles = uint16_t(m->triangles.size());
    m->numGroups = 1;
    m->groups[0].numTriangles = uint16_t(m->groups[0].triangleIndices.size());
    m->numMaterials = 1;
}
