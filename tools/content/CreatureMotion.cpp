// CreatureMotion: poses, leg solving and the animation rows.
#include "CreatureMotion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDeg = 180.0f / kPi;

VECTOR3D Add(VECTOR3D a, VECTOR3D b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
VECTOR3D Sub(VECTOR3D a, VECTOR3D b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
VECTOR3D Lerp(VECTOR3D a, VECTOR3D b, float t)
{
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}
float Mixf(float a, float b, float t)
{
    return a + (b - a) * t;
}
float Ease(float t)
{
    return t * t * (3 - 2 * t);
}
float Wave(float u, float cycles = 1, float phase = 0)
{
    return std::sin(2 * kPi * (u * cycles + phase));
}

// Angle of a vector in a leg's vertical plane: 0 points along +y, and a
// positive rotation about +x increases it.
float PlaneAngle(float y, float z)
{
    return std::atan2(z, y);
}

float Wrap(float degrees)
{
    while (degrees > 180)
        degrees -= 360;
    while (degrees <= -180)
        degrees += 360;
    return degrees;
}

VECTOR3D BindOffset(int j)
{
    const RigJoint& r = Rig(j);
    return r.parent < 0 ? r.position : Sub(r.position, Rig(r.parent).position);
}

VECTOR3D RotateX(VECTOR3D v, float degrees)
{
    const float a = degrees / kDeg, c = std::cos(a), s = std::sin(a);
    return {v.x, v.y * c - v.z * s, v.y * s + v.z * c};
}

struct LegJoints {
    int parent, top, mid, low, paw;
    bool kneeForward; // hind legs bend their stifle forwards, front legs their elbow back
};

LegJoints Leg(int leg)
{
    switch (leg) {
    case 0:
        return {J_CHEST, J_SHOULDER_L, J_ELBOW_L, J_WRIST_L, J_PAW_FL, false};
    case 1:
        return {J_CHEST, J_SHOULDER_R, J_ELBOW_R, J_WRIST_R, J_PAW_FR, false};
    case 2:
        return {J_PELVIS, J_HIP_L, J_STIFLE_L, J_HOCK_L, J_PAW_HL, true};
    default:
        return {J_PELVIS, J_HIP_R, J_STIFLE_R, J_HOCK_R, J_PAW_HR, true};
    }
}

// How far a stride's leg may stretch its two upper bones, as a share of
// their length: short of straight, so the elbow or stifle keeps a slight
// bend at the ends of the stride. A paw further off stops short of its goal.
constexpr float kStrideReach = 0.975f;
// And how far, at least, its lowest bone turns from the one above it: the
// pastern or the hock angled against the leg, so it never reads as a stick.
constexpr float kStrideLowBend = 18.0f;

// How a leg came out of a solve, in degrees: how far the upper bone turns
// from its bind direction, and the lowest bone from the one above it.
struct LegSolve {
    float upper, lowBend;
};

// Bends one leg so that its sole reaches the goal. The solve works in the
// parent joint's frame, in the leg's vertical plane; a target out of reach
// leaves the leg stretched towards it (in a stride, not quite straight).
LegSolve BendLeg(CreaturePose& pose, int leg, const MATRIX& parent)
{
    const LegJoints L = Leg(leg);
    const PawGoal& goal = pose.paws[leg];

    const VECTOR3D top = Rig(L.top).position, mid = Rig(L.mid).position, low = Rig(L.low).position,
                   paw = Rig(L.paw).position;
    const VECTOR3D lowerModel = RotateX(Sub(paw, low), goal.lowerPitch);
    const VECTOR3D wristModel = Sub(goal.target, lowerModel);
    const VECTOR3D w = MatrixInverseRotatePoint(parent, MatrixInverseTranslatePoint(parent, wristModel));
    const VECTOR3D lowerLocal = MatrixInverseRotatePoint(parent, lowerModel);
    const VECTOR3D s = BindOffset(L.top);

    const float l1 = std::hypot(mid.y - top.y, mid.z - top.z), l2 = std::hypot(low.y - mid.y, low.z - mid.z);
    const float dy = w.y - s.y, dz = w.z - s.z;
    const float longest = (goal.keepBent ? kStrideReach : 1.0f) * (l1 + l2) - 1e-3f;
    const float dist = std::clamp(std::hypot(dy, dz), std::fabs(l1 - l2) + 1e-3f, longest);
    const float toward = PlaneAngle(dy, dz);
    const float spread = std::acos(std::clamp((l1 * l1 + dist * dist - l2 * l2) / (2 * l1 * dist), -1.0f, 1.0f));
    // Of the two ways to bend, take the one with the knee on the right side.
    float upper = toward + spread;
    {
        const float ey = std::cos(upper), ez = std::sin(upper);
        const float side = dy * ez - dz * ey;
        if ((side < 0) != L.kneeForward)
            upper = toward - spread;
    }
    const float ey = s.y + l1 * std::cos(upper), ez = s.z + l1 * std::sin(upper);
    const float wy = s.y + dist * std::cos(toward), wz = s.z + dist * std::sin(toward);
    const float lower = PlaneAngle(wy - ey, wz - ez);
    const float foot = PlaneAngle(lowerLocal.y, lowerLocal.z);

    const float a1 = upper - PlaneAngle(mid.y - top.y, mid.z - top.z);
    const float a2 = lower - PlaneAngle(low.y - mid.y, low.z - mid.z) - a1;
    const float a3 = foot - PlaneAngle(paw.y - low.y, paw.z - low.z) - a1 - a2;
    const float parentPitch = std::atan2(float(parent.m[6]), float(parent.m[5]));
    const float a4 = goal.pawPitch / kDeg - parentPitch - a1 - a2 - a3;
    pose.rotation[L.top] = {Wrap(a1 * kDeg), 0, 0};
    pose.rotation[L.mid] = {Wrap(a2 * kDeg), 0, 0};
    pose.rotation[L.low] = {Wrap(a3 * kDeg), 0, 0};
    pose.rotation[L.paw] = {Wrap(a4 * kDeg), 0, 0};
    return {Wrap(a1 * kDeg), std::fabs(Wrap((foot - lower) * kDeg))};
}

// A foreleg's upper arm turning further than this from hanging straight
// down folds the skin where the leg leaves the chest.
constexpr float kUpperArmSwing = 24.0f;
// A hind leg's thigh turning further than this in a stride lifts the stifle
// to the hip's height, and the thigh stands out of the rump as a block.
// Forwards it may turn less: the skin behind it, which stays with the rump,
// would otherwise stretch into a flap over the swinging leg.
constexpr float kThighSwing = 75.0f, kThighSwingForward = 30.0f;

// How far, in degrees, a solved leg is from what its goal asks: a
// foreleg's upper arm or a striding thigh swinging too far, a stride's
// lowest bone too nearly in line with the bone above.
float Strain(const PawGoal& goal, const LegSolve& solve)
{
    // The bones turn backwards (towards -z) for positive angles.
    const float thigh = solve.upper < 0 ? kThighSwingForward : kThighSwing;
    const float limit = goal.wristFirst ? kUpperArmSwing : goal.keepBent ? thigh : 180.0f;
    const float swing = std::max(0.0f, std::fabs(solve.upper) - limit);
    const float straight = goal.keepBent ? std::max(0.0f, kStrideLowBend - solve.lowBend) : 0.0f;
    return swing + straight;
}

void SolveLeg(CreaturePose& pose, int leg)
{
    MATRIX m[J_COUNT];
    PoseMatrices(pose, m);
    const MATRIX parent = m[Leg(leg).parent];
    PawGoal& goal = pose.paws[leg];
    float bestStrain = Strain(goal, BendLeg(pose, leg, parent));
    if (bestStrain <= 0)
        return;
    // A dog's leg folds mostly at the wrist or the hock: tilt the lowest
    // bone, by as little as will do, until the leg is within its limits (or
    // as close as the reach allows). The sole stays where it was put.
    const float asked = goal.lowerPitch;
    float best = asked;
    for (float step = 2; step <= 120 && bestStrain > 0; step += 2)
        for (float pitch : {asked + step, asked - step}) {
            goal.lowerPitch = pitch;
            const float strain = Strain(goal, BendLeg(pose, leg, parent));
            if (strain < bestStrain - 0.5f) {
                best = pitch;
                bestStrain = strain;
            }
        }
    goal.lowerPitch = best;
    BendLeg(pose, leg, parent);
}

CreaturePose Standing()
{
    CreaturePose p;
    for (int leg = 0; leg < 4; leg++)
        p.paws[leg].target = Rig(dogFeet[leg]).position;
    return p;
}

CreaturePose Blend(const CreaturePose& a, const CreaturePose& b, float t)
{
    CreaturePose p;
    for (int j = 0; j < J_COUNT; j++)
        p.rotation[j] = Lerp(a.rotation[j], b.rotation[j], t);
    p.rootShift = Lerp(a.rootShift, b.rootShift, t);
    p.bodyShift = Lerp(a.bodyShift, b.bodyShift, t);
    for (int leg = 0; leg < 4; leg++) {
        p.paws[leg].target = Lerp(a.paws[leg].target, b.paws[leg].target, t);
        p.paws[leg].lowerPitch = Mixf(a.paws[leg].lowerPitch, b.paws[leg].lowerPitch, t);
        p.paws[leg].pawPitch = Mixf(a.paws[leg].pawPitch, b.paws[leg].pawPitch, t);
    }
    return p;
}

void Tail(CreaturePose& p, float lift, float sway)
{
    p.rotation[J_TAIL_1] = Add(p.rotation[J_TAIL_1], {lift, sway, 0});
    p.rotation[J_TAIL_2] = Add(p.rotation[J_TAIL_2], {lift * 0.4f, sway * 0.8f, 0});
    p.rotation[J_TAIL_3] = Add(p.rotation[J_TAIL_3], {lift * 0.2f, sway * 0.6f, 0});
}

// One stride with root motion. Each paw is planted for `duty` of the cycle,
// moving backwards under the body as fast as the root moves forwards, then
// swings forward in an arc `lift` high.
struct Gait {
    float distance; // root travel per cycle
    float duty;
    float phase[4]; // when each paw (dogFeet order) touches down, 0..1
    float lift;
    float crouch; // how much lower the body rides
    float bob;    // body bounce, twice per cycle
};

// How high a swinging hind paw rises, as a share of a forepaw's lift, and
// how far (degrees) its hock folds back at the top of the swing. A lifted
// paw mostly folds the hock, as a dog's does: raised by bending the stifle
// instead, the shin folds up against the thigh and the skin behind the
// stifle turns inside out.
constexpr float kHindLift = 0.5f, kHindCurl = 100.0f;

CreaturePose Stride(const Gait& g, float u)
{
    CreaturePose p = Standing();
    p.rootShift = {0, 0, g.distance * u};
    p.bodyShift = {0, -g.crouch + g.bob * std::cos(4 * kPi * u), 0};
    const float reach = g.distance * g.duty * 0.5f;
    for (int leg = 0; leg < 4; leg++) {
        float w = u - g.phase[leg];
        w -= std::floor(w);
        float offset, height = 0, curl = 0;
        if (w < g.duty) {
            offset = reach - 2 * reach * (w / g.duty);
        } else {
            const float s = (w - g.duty) / (1 - g.duty);
            // A foreleg comes forward off the ground at once rather than
            // trailing behind, which would swing its upper arm far back.
            offset = -reach + 2 * reach * Ease(leg < 2 ? std::min(1.0f, 1.3f * s) : s);
            // A hind paw rises less: lifted as high as a forepaw while it is
            // still behind the body, it folds the hock up into the rump.
            height = g.lift * (leg < 2 ? 1.0f : kHindLift) * std::sin(kPi * s);
            curl = std::sin(kPi * s);
        }
        PawGoal& paw = p.paws[leg];
        paw.target = Add(Rig(dogFeet[leg]).position, {0, height, g.distance * u + offset});
        // Tip the lowest bone towards the body at the ends of the stance so
        // the leg keeps some bend, and fold the paw while it swings.
        paw.lowerPitch = -offset * (leg < 2 ? 10.0f : 14.0f) + (leg < 2 ? 40.0f : kHindCurl) * curl;
        paw.pawPitch = 35 * curl;
        paw.wristFirst = leg < 2;
        paw.keepBent = true;
    }
    // The body rolls and the hips sway with the footfalls.
    p.rotation[J_PELVIS] = {0, 2.5f * Wave(u), 2.0f * Wave(u, 1, 0.25f)};
    p.rotation[J_CHEST] = {0, -3.0f * Wave(u), -1.5f * Wave(u, 1, 0.25f)};
    p.rotation[J_NECK] = {3.0f * Wave(u, 2, 0.1f), 0, 0};
    p.rotation[J_HEAD] = {-2.5f * Wave(u, 2, 0.1f), 0, 0};
    p.rotation[J_EAR_L] = {-8.0f + 4 * Wave(u, 2), 0, 0};
    p.rotation[J_EAR_R] = {-8.0f + 4 * Wave(u, 2, 0.1f), 0, 0};
    Tail(p, 8, 14 * Wave(u, 1, -0.1f));
    return p;
}

CreaturePose Walk(float u)
{
    // Four beats: left hind, left fore, right hind, right fore.
    const Gait g = {3.2f, 0.66f, {0.25f, 0.75f, 0.0f, 0.5f}, 1.2f, 0.22f, 0.05f};
    return Stride(g, u);
}

CreaturePose Run(float u)
{
    // A trot: diagonal pairs together, with a moment in the air between them.
    const Gait g = {8.5f, 0.38f, {0.0f, 0.5f, 0.5f, 0.0f}, 1.35f, 0.4f, 0.12f};
    CreaturePose p = Stride(g, u);
    p.rotation[J_NECK].x += 12;
    p.rotation[J_HEAD].x -= 6;
    p.rotation[J_EAR_L].x -= 18;
    p.rotation[J_EAR_R].x -= 18;
    p.rotation[J_JAW].x += 8;
    Tail(p, -4, 0);
    return p;
}

CreaturePose Sitting()
{
    CreaturePose p = Standing();
    // Low enough that the rump rests on the ground and the forelegs, short
    // as they are, still reach it under the raised chest.
    p.bodyShift = {0, -1.3f, -0.35f};
    p.rotation[J_PELVIS] = {-30, 0, 0};
    p.rotation[J_CHEST] = {-2, 0, 0};
    p.rotation[J_NECK] = {28, 0, 0};
    p.rotation[J_HEAD] = {12, 0, 0};
    for (int leg = 2; leg < 4; leg++) {
        // Haunches down: the long foot bones lie flat, pointing forwards.
        p.paws[leg].target = Add(Rig(dogFeet[leg]).position, {0.08f * (leg == 2 ? 1 : -1), 0, 0.35f});
        p.paws[leg].lowerPitch = -80;
    }
    for (int leg = 0; leg < 2; leg++)
        p.paws[leg].target = Add(Rig(dogFeet[leg]).position, {0, 0, -0.25f});
    Tail(p, 30, 20);
    return p;
}

CreaturePose Lying()
{
    CreaturePose p = Standing();
    p.bodyShift = {0, -2.05f + kLegShortening, 0.1f};
    p.rotation[J_NECK] = {-8, 0, 0};
    p.rotation[J_HEAD] = {10, 0, 0};
    for (int leg = 0; leg < 2; leg++) {
        // Forelegs stretched out in front.
        p.paws[leg].target = Add(Rig(dogFeet[leg]).position, {0, 0, 1.4f});
        p.paws[leg].lowerPitch = -82;
        p.paws[leg].pawPitch = 0;
    }
    for (int leg = 2; leg < 4; leg++) {
        // Hind legs folded along the body.
        p.paws[leg].target = Add(Rig(dogFeet[leg]).position, {0, 0, 0.3f});
        p.paws[leg].lowerPitch = -82;
    }
    Tail(p, -30, 25);
    return p;
}

CreaturePose Pant(float u)
{
    CreaturePose p = Standing();
    // The jaw drops and the tongue unfolds out of the mouth, over the lower
    // lip, lolling a little as the dog breathes.
    p.rotation[J_JAW] = {30 + 5 * Wave(u), 0, 0};
    p.rotation[J_TONGUE] = {kTongueOutPitch - p.rotation[J_JAW].x + 3 * Wave(u, 1, 0.1f), 0, 0};
    p.rotation[J_CHEST] = {1.5f * Wave(u), 0, 0};
    p.rotation[J_NECK] = {-4 + 2 * Wave(u, 1, 0.2f), 0, 0};
    p.bodyShift = {0, 0.03f * Wave(u), 0};
    Tail(p, 5, 10 * Wave(u));
    return p;
}

CreaturePose SitBreathing(float u)
{
    CreaturePose p = Sitting();
    p.rotation[J_CHEST].x += 1.5f * Wave(u);
    p.rotation[J_NECK].y = 10 * Wave(u);
    p.rotation[J_HEAD].z = 6 * Wave(u, 1, 0.1f);
    p.rotation[J_EAR_L].x = 6 * Wave(u);
    return p;
}

CreaturePose LieBreathing(float u)
{
    CreaturePose p = Lying();
    p.rotation[J_CHEST].x = 1.5f * Wave(u, 2);
    p.rotation[J_NECK].y = 14 * Wave(u);
    p.rotation[J_HEAD].z = -5 * Wave(u);
    Tail(p, 0, 18 * Wave(u, 3));
    return p;
}

CreaturePose LookAround(float u)
{
    CreaturePose p = Standing();
    p.rotation[J_NECK] = {-6, 28 * Wave(u), 0};
    p.rotation[J_HEAD] = {0, 14 * Wave(u), 6 * Wave(u)};
    p.rotation[J_EAR_L] = {-6 * Wave(u, 2), 0, 0};
    p.rotation[J_EAR_R] = {-6 * Wave(u, 2, 0.5f), 0, 0};
    Tail(p, 10, 6 * Wave(u));
    return p;
}

CreaturePose Sniff(float u)
{
    CreaturePose p = Standing();
    // A reach down, not a crouch: nose to the ground ahead of the forepaws,
    // following the scent from side to side. The back tips forward a little
    // and the chest dips between the shoulders; the forepaws step back so
    // the forelegs slant under it nearly straight. The neck does most of the
    // lowering, bending at the withers, and the head lifts back against it
    // so the muzzle points down and forward at the ground instead of
    // tucking under with the forehead leading.
    p.rotation[J_PELVIS] = {6, 0, 0};
    p.rotation[J_CHEST] = {16, 0, 0};
    for (int leg = 0; leg < 2; leg++)
        p.paws[leg].target = Add(Rig(dogFeet[leg]).position, {0, 0, -1.5f});
    p.rotation[J_NECK] = {48, 5 * Wave(u), 0};
    p.rotation[J_HEAD] = {-8 + 3 * Wave(u, 3), 6 * Wave(u, 2), 0};
    // With the head hanging, the ears swing towards the muzzle to hang
    // down along the cheeks, a little away from them, rather than splaying
    // out to the sides.
    p.rotation[J_EAR_L] = {35 + 3 * Wave(u, 3), 0, 14};
    p.rotation[J_EAR_R] = {35 + 3 * Wave(u, 3, 0.3f), 0, -14};
    Tail(p, 12, 16 * Wave(u, 2));
    return p;
}

CreaturePose PlayBow(float u)
{
    // In for the first quarter, a wagging bow, out in the last quarter.
    const float e = Ease(std::clamp(u * 4, 0.0f, 1.0f)) * Ease(std::clamp((1 - u) * 4, 0.0f, 1.0f));
    CreaturePose bow = Standing();
    bow.bodyShift = {0, -0.4f, 0};
    bow.rotation[J_PELVIS] = {16, 0, 0};
    bow.rotation[J_CHEST] = {6, 0, 0};
    bow.rotation[J_NECK] = {-34, 0, 0};
    bow.rotation[J_HEAD] = {-4, 0, 0};
    for (int leg = 0; leg < 2; leg++) {
        bow.paws[leg].target = Add(Rig(dogFeet[leg]).position, {0, 0, 0.9f});
        bow.paws[leg].lowerPitch = -70;
    }
    CreaturePose p = Blend(Standing(), bow, e);
    p.rotation[J_HEAD].z = 10 * e * Wave(u, 2);
    p.rotation[J_JAW].x = 12 * e;
    Tail(p, 30 * e, 35 * e * Wave(u, 6));
    p.rotation[J_PELVIS].y = 4 * e * Wave(u, 6, 0.5f);
    return p;
}

CreaturePose Wag(float u)
{
    CreaturePose p = Standing();
    Tail(p, 28, 32 * Wave(u));
    p.rotation[J_PELVIS].y = 4 * Wave(u, 1, 0.5f);
    p.rotation[J_CHEST].y = -3 * Wave(u, 1, 0.5f);
    p.rotation[J_HEAD] = {0, 0, 8 * Wave(u, 1, 0.25f)};
    p.rotation[J_EAR_L] = {4, 0, 0};
    p.rotation[J_EAR_R] = {4, 0, 0};
    return p;
}

// The pose of a frame before its legs are solved.
CreaturePose RawPose(int f)
{
    auto in = [f](int row) { return f >= dogAnims[row].startFrame && f <= dogAnims[row].endFrame; };
    auto u = [f](int row) {
        return float(f - dogAnims[row].startFrame) / float(dogAnims[row].endFrame - dogAnims[row].startFrame);
    };
    if (in(0))
        return Walk(u(0));
    if (in(1))
        return Run(u(1));
    if (in(2))
        return Pant(u(2));
    if (in(3))
        return Blend(Standing(), Sitting(), Ease(u(3)));
    if (in(4))
        return SitBreathing(u(4));
    if (in(5))
        return Blend(Sitting(), Standing(), Ease(u(5)));
    if (in(6))
        return Blend(Standing(), Lying(), Ease(u(6)));
    if (in(7))
        return LieBreathing(u(7));
    if (in(8))
        return Blend(Lying(), Standing(), Ease(u(8)));
    if (in(9))
        return LookAround(u(9));
    if (in(10))
        return Sniff(u(10));
    if (in(11))
        return PlayBow(u(11));
    if (in(12))
        return Wag(u(12));
    return Standing();
}

void SetName(char* dst, const char* src)
{
    std::strncpy(dst, src, MS3D_NAME_BYTES - 1);
}

} // namespace

void PoseMatrices(const CreaturePose& pose, MATRIX out[J_COUNT])
{
    for (int j = 0; j < J_COUNT; j++) {
        MATRIX bind;
        bind.SetTranslation(BindOffset(j));
        MATRIX key = QuatToRotationMatrix(RotationToQuat(pose.rotation[j]));
        if (j == J_ROOT)
            key.SetTranslation(pose.rootShift);
        else if (j == J_PELVIS)
            key.SetTranslation(pose.bodyShift);
        const MATRIX relative = MultiplyMatrix(bind, key);
        out[j] = Rig(j).parent < 0 ? relative : MultiplyMatrix(out[Rig(j).parent], relative);
    }
}

CreaturePose PoseAtFrame(int frame)
{
    CreaturePose p = RawPose(frame);
    for (int leg = 0; leg < 4; leg++)
        SolveLeg(p, leg);
    return p;
}

void BuildCreatureJoints(MS3D* model)
{
    std::vector<CreaturePose> poses;
    for (int f = 0; f < kCreatureFrames; f++)
        poses.push_back(PoseAtFrame(f));

    model->joints.assign(J_COUNT, MS3D_JOINT());
    for (int j = 0; j < J_COUNT; j++) {
        MS3D_JOINT& joint = model->joints[j];
        SetName(joint.name, Rig(j).name);
        if (Rig(j).parent >= 0)
            SetName(joint.parentName, Rig(Rig(j).parent).name);
        joint.position = BindOffset(j);
        for (int f = 0; f < kCreatureFrames; f++) {
            const float time = float(f) / kCreatureFPS;
            const VECTOR3D r = poses[f].rotation[j];
            joint.rotationKeys.push_back({time, {r.x / kDeg, r.y / kDeg, r.z / kDeg}});
            if (j == J_ROOT)
                joint.translationKeys.push_back({time, poses[f].rootShift});
            else if (j == J_PELVIS)
                joint.translationKeys.push_back({time, poses[f].bodyShift});
        }
        joint.numRotationKeys = uint16_t(joint.rotationKeys.size());
        joint.numTranslationKeys = uint16_t(joint.translationKeys.size());
    }
    model->numJoints = J_COUNT;
    model->animationFPS = kCreatureFPS;
    model->totalFrames = kCreatureFrames;
}
