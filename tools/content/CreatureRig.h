// CreatureRig: the creature's skeleton, shared by the mesh builder and the
// animation author.
//
// Model units, facing +z, standing on y = 0, about 6.5 units from nose to
// tail tip and 3.6 at the shoulder. The root sits on the ground under the middle of
// the body and only carries the stride forward (the program commits its
// travel at the end of each stride); the body hangs from the pelvis.
// Every joint is bound without rotation, so a
// joint's local axes are the model's axes in the bind pose: rotating about +x
// swings a hanging leg backwards (towards -z) for positive angles.
#pragma once

#include "creatures/DogTables.h"
#include "maths/NiftyMaths.h"

enum CreatureJoint {
    J_ROOT,
    J_PELVIS,
    J_CHEST,
    J_NECK,
    J_HEAD,
    J_JAW,
    J_EAR_L,
    J_EAR_R,
    J_TONGUE,
    J_SHOULDER_L,
    J_ELBOW_L,
    J_WRIST_L,
    J_PAW_FL,
    J_SHOULDER_R,
    J_ELBOW_R,
    J_WRIST_R,
    J_PAW_FR,
    J_HIP_L,
    J_HIP_R,
    J_STIFLE_L,
    J_STIFLE_R,
    J_HOCK_L,
    J_HOCK_R,
    J_TAIL_1,
    J_TAIL_2,
    J_PAW_HL,
    J_PAW_HR,
    J_TAIL_3,
    J_COUNT
};

struct RigJoint {
    const char* name;
    int parent;
    VECTOR3D position; // model space, bind pose
};

const RigJoint& Rig(int joint);
// A joint as drawn, before the legs and trunk are shortened: where the mesh
// builder, which shortens its own vertices at the end, places things by it.
const RigJoint& DrawnRig(int joint);

// The legs are drawn long and then shortened: everything from the top of the
// legs up comes down by kLegShortening, and the legs below shrink in
// proportion. The mesh builder lowers its vertices with the same function;
// poses that put the body on the ground lower it this much less.
constexpr float kLegShortening = 0.55f;
float ShortenLegs(float y);

// The trunk is drawn long and then shortened as well: everything behind the
// middle of the back comes forward by kTrunkShortening, the back between
// taking up the difference, so the body is about as long from chest to rump
// as it is tall at the withers. The mesh builder moves its vertices the same
// way.
constexpr float kTrunkShortening = 0.6f;
float ShortenTrunk(float z);

// The head and all it carries (jaw, ears, tongue) sit lower and further
// forward than drawn, on a neck that leans out from the withers rather than
// standing upright. The rig and the mesh builder both move them by this.
constexpr float kHeadLower = 0.2f, kHeadForward = 0.15f;
VECTOR3D PlaceOnHead(int joint, VECTOR3D drawn);

// The tongue's pitch about its joint, the jaw's included, when it lolls out
// of the panting mouth; the mesh folds it back into the mouth by as much.
constexpr float kTongueOutPitch = 172.0f;

// The model's frame rate, and its length in frames: enough to hold every
// row of dogAnims.
constexpr int kCreatureFPS = 30;
constexpr int kCreatureFrames = 193;

// The program finds the feet by joint number.
static_assert(J_PAW_FL == 12 && J_PAW_FR == 16 && J_PAW_HL == 25 && J_PAW_HR == 26,
              "the paw joints must be the ones the program's foot table names");
