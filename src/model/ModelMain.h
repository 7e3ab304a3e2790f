// ModelMain: the animation data one creature model shares among all its
// instances (ANIMATIONTEMPLATE, TEMPLATE_JOINT) and one animated instance
// (ONEMODEL) with its joints, playback state, placement and its own skinned
// vertex buffer, plus the records that make it up.
//
// Limits: each vertex follows exactly one joint (no weights); every parent
// comes before its child (the skeleton makes a joint whose parent does not a
// root), since joints are posed in list order; at most 65535 buffer
// vertices and 65535 triangles. The template must outlive its instances.
// Nothing here allocates once an instance is set up: Animate, UpdateSkeleton,
// RevertPoints and UpdatePoints only rewrite what Setup sized. Poses are
// always computed from an unchanging joint-space copy of the mesh, so hours
// of frames pose exactly as the first one does.
#pragma once

#include "maths/NiftyMaths.h"
#include "model/MilkshapeModel.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// One joint of the shared template: the bind pose and the keys, with every
// rotation key turned into a quaternion once.
struct TEMPLATE_JOINT : SKELETON_JOINT {
    std::vector<QUAT> keyQuats;
    QUAT bindQuat;
    // Bind rotation and translation in the parent's frame.
    MATRIX bindMatrix;
};

class ANIMATIONTEMPLATE {
public:
    // Fills the template from a model whose skeleton InitialSetup has built.
    // False, with the template left empty, when the model has no skeleton for
    // its joints or memory runs out.
    bool Setup(const MS3D* ms3d);

    int32_t numJoints = 0;
    std::vector<TEMPLATE_JOINT> joints;
    int32_t totalFrames = 0;
    float animationFPS = 0;
    // Milliseconds.
    float totalTime = 0;
};

// One joint of an instance: its current pose and where its key searches resume.
struct BASICJOINT {
    BASICJOINT();

    int32_t parent = -1;
    uint8_t flags = 0;
    // In the joint's bind frame.
    VECTOR3D translation;
    MATRIX relative;
    // Model space: the skinning matrix of the joint's vertices.
    MATRIX absolute;
    int32_t curTranslationKey = 0;
    int32_t curRotationKey = 0;
    // Spares re-converting a rotation held before the first or after the last key.
    int32_t lastRotationKey = -1;
    QUAT rotation;
    MATRIX rotationMatrix;
    QUAT blendFromRotation;
    VECTOR3D blendFromTranslation;
};

// Texture names are shared between instances by design (they belong to the
// herd's skins), so a copy copies the name and every copy releases it; the
// herd therefore destroys its instances only all together.
struct MODELMATERIAL {
    MODELMATERIAL() = default;
    MODELMATERIAL(const MODELMATERIAL&) = default;
    MODELMATERIAL& operator=(const MODELMATERIAL&) = default;
    ~MODELMATERIAL();

    uint32_t texture = 0;
    // Top bit set: texture coordinates are generated while drawing.
    uint8_t mode = 0;
    float transparency = 1.0f;
    float ambient[3] = {0, 0, 0};
};

struct MODELGROUP {
    int8_t materialIndex = -1;
    uint16_t numTriangles = 0;
    // Position in the index list of the group's first index.
    int32_t firstIndex = 0;
};

// The interleaved vertex handed to OpenGL with a stride of 36 bytes.
struct MODELVERTEX {
    VECTOR3D position;
    VECTOR3D normal;
    float s = 0;
    float t = 0;
    uint8_t unused1[2] = {0, 0};
    // The model vertex's boneId; negative for none.
    int8_t joint = -1;
    uint8_t unused2 = 0;
};

static_assert(sizeof(VECTOR3D) == 12, "VECTOR3D must be three packed floats");
static_assert(sizeof(MODELVERTEX) == 36, "the vertex arrays use a stride of 36 bytes");
static_assert(offsetof(MODELVERTEX, position) == 0, "position at byte 0");
static_assert(offsetof(MODELVERTEX, normal) == 12, "normal at byte 12");
static_assert(offsetof(MODELVERTEX, s) == 24, "s at byte 24");
static_assert(offsetof(MODELVERTEX, t) == 28, "t at byte 28");
static_assert(offsetof(MODELVERTEX, joint) == 34, "joint index at byte 34");

// Strides and offsets for glVertexPointer, glNormalPointer and glTexCoordPointer.
enum {
    MODELVERTEX_STRIDE = sizeof(MODELVERTEX),
    MODELVERTEX_NORMAL_OFFSET = offsetof(MODELVERTEX, normal),
    MODELVERTEX_TEXCOORD_OFFSET = offsetof(MODELVERTEX, s),
};

// The vertex buffer's positions and normals in joint space, as Setup built
// them, entry for entry. Every pose starts from these rather than from the
// previous frame's buffer, since reverting in single precision is not an
// exact inverse and its error would grow frame after frame. Built once by
// Setup and shared, unchanged, by every copy of that instance.
struct JOINTSPACEMESH {
    std::vector<VECTOR3D> positions;
    std::vector<VECTOR3D> normals;
    // Each vertex's joint; -1 (or any negative) for none.
    std::vector<int8_t> joints;
};

class ONEMODEL {
public:
    ONEMODEL();
    // Each instance owns buffers that are rewritten every frame; copies are
    // made explicitly with CopyFrom.
    ONEMODEL(const ONEMODEL&) = delete;
    ONEMODEL& operator=(const ONEMODEL&) = delete;

    // Builds the instance from a model that LoadFromFStream accepted and
    // InitialSetup prepared, and the template made from it. Every material
    // gets *textureName. False when the template does not match the model or
    // the buffer would pass the 16-bit limits; the instance is then unusable.
    bool Setup(const ANIMATIONTEMPLATE* animTemplate, const MS3D* ms3d, const unsigned int* textureName);
    // Makes this an independent instance of the same template: its own
    // joints (fresh), materials, groups, indices and vertices, copied from
    // source; playback and placement reset.
    bool CopyFrom(const ONEMODEL& source);
    // Index of the buffer vertex with exactly these attributes, appended if
    // new; -1 when the buffer already holds 65535 vertices.
    int AddVertToBuffer(const VECTOR3D* point, const VECTOR3D* normal, float s, float t, int8_t joint);

    void SetAnimation(double startFrame, double endFrame, double speed, bool loop, bool blend);
    // step is in seconds.
    void Animate(double step);
    void RestartAnim();
    void UpdateSkeleton();
    // Model space into each vertex's joint space with the given matrices.
    void RevertPoints(const BASICJOINT* withJoints);
    // Poses the buffer with the given matrices from the joint-space copy, so
    // whatever the buffer held before does not matter.
    void UpdatePoints(const BASICJOINT* withJoints);
    // The same pose written into another buffer laid out like this one.
    void PosePoints(const BASICJOINT* withJoints, std::vector<MODELVERTEX>& into) const;
    // Draws one group from the vertex arrays the caller has pointed at the
    // buffer; an index outside the groups draws nothing.
    void DrawGroup(int group);

    const ANIMATIONTEMPLATE* animTemplate = nullptr;
    uint16_t numJoints = 0;
    std::vector<BASICJOINT> joints;
    uint16_t numMaterials = 0;
    std::vector<MODELMATERIAL> materials;
    uint16_t numGroups = 0;
    std::vector<MODELGROUP> groups;
    uint16_t numTriangles = 0;
    // Three per triangle, group after group.
    std::vector<uint16_t> indices;
    uint16_t numVertices = 0;
    std::vector<MODELVERTEX> vertices;
    // Shared by the instance Setup built and all its copies; never written
    // after Setup. Shared ownership spares the herd any order of teardown.
    std::shared_ptr<const JOINTSPACEMESH> bindMesh;
    // Milliseconds.
    float currentTime = 0;
    bool looping = false;
    // Milliseconds of animation per second of step.
    float speed = 1000.0f;
    float startTime = 0;
    float endTime = 0;
    bool blending = false;
    float blendProgress = 0;
    // Progress per second.
    float blendRate = 4.0f;
    VECTOR3D position;
    VECTOR3D heading;
    VECTOR3D angles;
    MATRIX orientation;

private:
    void MakeJoints(const ANIMATIONTEMPLATE* from);
    void ResetPlayback();
    void ClearMesh();
    bool KeepJointSpaceMesh();
    void PlayJoint(const TEMPLATE_JOINT& tj, BASICJOINT& bj);
    void BlendJoint(const TEMPLATE_JOINT& tj, BASICJOINT& bj);
};
