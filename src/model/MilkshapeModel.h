// MilkshapeModel: MS3D, one MilkShape 3D binary model (versions 3 and 4) as
// read from a creature pack or a bare .ms3d file, and its bind-pose skeleton.
//
// Only the sections up to the last joint are read; the comments and extra
// data that version 4 files carry after the joints are ignored, so vertex
// weights beyond the single boneId are not supported. A model is a set-up
// temporary: it is loaded, scaled, given its skeleton, turned into an
// animation template and an instance, and dropped.
//
// The file is untrusted: every count is checked against the bytes that are
// really left before anything is allocated, and every index, 16-bit total
// and float that is computed with is checked after reading, so the code that
// follows can index without checks. A negative boneId and a material index
// outside the materials both mean none; material colours and shininess are
// kept as read, finite or not. A joint whose parent is itself or listed after
// it becomes a root of the skeleton, which is how its bind pose is built.
#pragma once

#include "maths/NiftyMaths.h"

#include <cstdint>
#include <istream>
#include <vector>

// Byte sizes of the records as they lie in the file.
enum {
    MS3D_HEADER_BYTES = 14,
    MS3D_VERTEX_BYTES = 15,
    MS3D_TRIANGLE_BYTES = 70,
    MS3D_GROUP_BYTES = 36, // plus 2 per triangle index
    MS3D_MATERIAL_BYTES = 361,
    MS3D_JOINT_BYTES = 93, // plus MS3D_KEYFRAME_BYTES per key
    MS3D_KEYFRAME_BYTES = 16,
    MS3D_NAME_BYTES = 32,
};

// Upper bound of every 16-bit count that the instance's index list uses.
constexpr uint32_t MS3D_MAX_INDEX_COUNT = 65535;

struct MS3D_VERTEX {
    uint8_t flags = 0;
    uint8_t referenceCount = 0;
    // Joint that moves the vertex; negative (normally -1) for none.
    int8_t boneId = -1;
    VECTOR3D position;
};

struct MS3D_TRIANGLE {
    uint16_t flags = 0;
    uint16_t vertexIndices[3] = {0, 0, 0};
    VECTOR3D vertexNormals[3];
    float s[3] = {0, 0, 0};
    // As stored in the file; the instance flips it to 1 - t.
    float t[3] = {0, 0, 0};
    uint8_t smoothingGroup = 0;
    uint8_t groupIndex = 0;
};

struct MS3D_GROUP {
    uint8_t flags = 0;
    char name[MS3D_NAME_BYTES] = {};
    uint16_t numTriangles = 0;
    std::vector<uint16_t> triangleIndices;
    // -1, or any index outside the materials, for none.
    int8_t materialIndex = -1;
};

struct MS3D_MATERIAL {
    char name[MS3D_NAME_BYTES] = {};
    float ambient[4] = {0, 0, 0, 0};
    float diffuse[4] = {0, 0, 0, 0};
    float specular[4] = {0, 0, 0, 0};
    float emissive[4] = {0, 0, 0, 0};
    float shininess = 0;
    float transparency = 1;
    // Top bit set: texture coordinates are generated while drawing.
    uint8_t mode = 0;
    char texture[128] = {};
    char alphamap[128] = {};
};

struct MS3D_KEYFRAME {
    // Seconds as read; milliseconds in the copies the skeleton and template make.
    float time = 0;
    VECTOR3D value;
};

struct MS3D_JOINT {
    uint8_t flags = 0;
    char name[MS3D_NAME_BYTES] = {};
    // Empty for a root.
    char parentName[MS3D_NAME_BYTES] = {};
    // Radians as read, degrees once the skeleton is set up.
    VECTOR3D rotation;
    VECTOR3D position;
    uint16_t numRotationKeys = 0;
    uint16_t numTranslationKeys = 0;
    std::vector<MS3D_KEYFRAME> rotationKeys;
    std::vector<MS3D_KEYFRAME> translationKeys;
};

// One joint of a bind-pose skeleton; the animation template extends it.
struct SKELETON_JOINT {
    SKELETON_JOINT();

    int32_t parent = -1;
    uint8_t flags = 0;
    // Degrees, relative to the parent.
    VECTOR3D rotation;
    VECTOR3D position;
    MATRIX relative;
    MATRIX absolute;
    int32_t numRotationKeys = 0;
    int32_t numTranslationKeys = 0;
    // Times in milliseconds.
    std::vector<MS3D_KEYFRAME> rotationKeys;
    std::vector<MS3D_KEYFRAME> translationKeys;
};

// A copy of keys with their times turned from seconds into milliseconds.
std::vector<MS3D_KEYFRAME> KeysInMilliseconds(const std::vector<MS3D_KEYFRAME>& keys);

class MS3D {
public:
    // Reads one model from the stream's current position. size is how many
    // bytes the model may occupy there (the lump's size, or the file's length
    // for a bare model); the bytes really left in the stream bound it too.
    // On failure the model is left exactly as it was and failure says why.
    bool LoadFromFStream(std::istream* stream, uint64_t size);

    // Multiplies vertex positions, joint positions and translation keys.
    // Must come before InitialSetup.
    void Scale(float factor);
    // Builds the skeleton and moves vertices and normals into joint space;
    // does nothing for a model without joints.
    void InitialSetup();
    void SetupSkeleton();
    void UpdateSkeleton();
    void RevertPoints();

    // Index of the first joint with this name, -1 if none. Names are compared
    // within their 32 bytes, so an unterminated name is still safe.
    int FindJoint(const char* name) const;

    uint16_t numVertices = 0;
    std::vector<MS3D_VERTEX> vertices;
    uint16_t numTriangles = 0;
    std::vector<MS3D_TRIANGLE> triangles;
    uint16_t numGroups = 0;
    std::vector<MS3D_GROUP> groups;
    uint16_t numMaterials = 0;
    std::vector<MS3D_MATERIAL> materials;
    uint16_t numJoints = 0;
    std::vector<MS3D_JOINT> joints;
    std::vector<SKELETON_JOINT> skeleton;
    int32_t totalFrames = 0;
    float animationFPS = 0;
    // Milliseconds.
    float totalTime = 0;

    // The file's version (3 or 4), for tools that report it.
    int32_t version = 0;
    // Why the last load failed; empty after a success.
    const char* failure = "";
};
