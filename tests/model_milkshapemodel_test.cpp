// Tests of MS3D: reading versions 3 and 4 through our writer, refusing
// damaged and hostile files without touching the model, scaling, and the
// bind-pose skeleton (parent search, chaining, reverting vertices).
#include "fixtures/TestModels.h"
#include "model/MilkshapeModel.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <limits>
#include <sstream>

namespace {

// Loads bytes into a model that already holds the arm and checks that the
// refusal says why and leaves the arm as it was.
void ExpectRefused(const std::vector<unsigned char>& bytes, const char* why)
{
    MS3D model;
    ASSERT_TRUE(LoadBytes(ModelBytes(ArmModel()), &model));
    EXPECT_FALSE(LoadBytes(bytes, &model));
    EXPECT_STREQ(model.failure, why);
    EXPECT_EQ(ModelBytes(model), ModelBytes(ArmModel()));
}

void ExpectNear(VECTOR3D v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

MS3D Loaded(const MS3D& built)
{
    MS3D m;
    EXPECT_TRUE(LoadBytes(ModelBytes(built), &m)) << m.failure;
    return m;
}

} // namespace

TEST(ModelLoading, ReadsEveryRecordOfVersions3And4AsWritten)
{
    // Every field differs from its neighbours and its default, so a field
    // read from the wrong place or not at all changes the bytes written back.
    MS3D built = ArmModel();
    built.vertices[1].referenceCount = 5;
    built.vertices[1].flags = 3;
    built.triangles[1].smoothingGroup = 7;
    built.materials[0].mode = 0x80;
    built.joints[1].flags = 8;
    const std::vector<unsigned char> v3 = ModelBytes(built, 3), v4 = ModelBytes(built, 4, "made by the tests");
    MS3D m;
    ASSERT_TRUE(LoadBytes(v3, &m)) << m.failure;
    EXPECT_EQ(ModelBytes(m, 3), v3);
    // The file stores boneId after the position and before referenceCount.
    EXPECT_EQ(m.vertices[1].boneId, 1);
    // Version 4's sections after the joints are ignored.
    ASSERT_TRUE(LoadBytes(v4, &m)) << m.failure;
    EXPECT_EQ(ModelBytes(m, 3), v3);
}

TEST(ModelLoading, RefusesWrongIdentifierVersionsCountsThatRunPastTheEndAndModelsPastTheSixteenBitLimits)
{
    std::vector<unsigned char> bytes = ModelBytes(ArmModel());
    for (int version : {2, 5}) {
        bytes[10] = static_cast<unsigned char>(version);
        ExpectRefused(bytes, "unsupported MilkShape 3D version (only 3 and 4 are read)");
    }
    bytes[10] = 4;
    bytes[9] = '1';
    ExpectRefused(bytes, "not a MilkShape 3D model (wrong identifier)");

    // Where each count of the arm lies, for cutting the file short.
    const MS3D arm = ArmModel();
    bytes = ModelBytes(arm, 3);
    const size_t triangleCount = MS3D_HEADER_BYTES + 2 + MS3D_VERTEX_BYTES * arm.vertices.size();
    const size_t groupCount = triangleCount + 2 + MS3D_TRIANGLE_BYTES * arm.triangles.size();
    const size_t animation = groupCount + 2 + MS3D_GROUP_BYTES + 2 * 2 + 2 + MS3D_MATERIAL_BYTES;
    const size_t jointCount = animation + 12;
    const std::pair<size_t, const char*> cuts[] = {
        {triangleCount - 1, "the vertex count runs past the end of the model"},
        {groupCount - 1, "the triangle count runs past the end of the model"},
        {groupCount + 2 + 35, "the group count runs past the end of the model"},
        {groupCount + 2 + 35 + 4, "a group's triangle count runs past the end of the model"},
        {animation - 1, "the material count runs past the end of the model"},
        {animation + 8, "the model ends early"},
        // The two joints need 186 bytes before their keys; the first has 4
        // keys, the second 2.
        {jointCount + 2 + 185, "the joint count runs past the end of the model"},
        {jointCount + 2 + 93 + 64 + 93 + 31, "a joint's key counts run past the end of the model"},
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.first);
        ExpectRefused(std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(cut.first)), cut.second);
    }
    // A size past the stream's end is bounded by the stream.
    std::istringstream shortStream(std::string(bytes.begin(), bytes.end() - 1));
    MS3D m;
    EXPECT_FALSE(m.LoadFromFStream(&shortStream, 1u << 30));
    EXPECT_STREQ(m.failure, "a joint's key counts run past the end of the model");

    // 80000 triangle references in all: summed in 16 bits this would wrap to
    // 14464 and leave the instance's index list far too short.
    m = QuadModel();
    m.groups[0].triangleIndices.assign(40000, 0);
    m.groups.push_back(m.groups[0]);
    ExpectRefused(ModelBytes(m), "the groups hold more than 65535 triangles in all");

    // 65538 corners that all differ (by their normals) need as many vertices.
    m = QuadModel();
    m.triangles.assign(21846, m.triangles[0]);
    m.groups[0].triangleIndices.resize(m.triangles.size());
    for (size_t i = 0; i < m.triangles.size(); i++) {
        m.groups[0].triangleIndices[i] = uint16_t(i);
        for (int c = 0; c < 3; c++)
            m.triangles[i].vertexNormals[c] = VECTOR3D(float(i), float(c), 1);
    }
    ExpectRefused(ModelBytes(m), "the model needs more than 65535 distinct vertices");

    // When the last triangle repeats the first, with -0 for 0, the corners
    // merge and exactly 65535 vertices remain.
    for (int c = 0; c < 3; c++)
        m.triangles.back().vertexNormals[c] = VECTOR3D(-0.0f, float(c), 1);
    EXPECT_EQ(Loaded(m).numTriangles, 21846);
}

TEST(ModelLoading, RefusesBadIndicesNumbersAndFrameRatesButAcceptsNoneAndUnusedFields)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const char* const notFinite = "the model holds a number that is not finite";
    const std::pair<std::function<void(MS3D&)>, const char*> cases[] = {
        {[](MS3D& m) { m.triangles[1].vertexIndices[2] = 4; }, "a triangle uses a vertex that does not exist"},
        {[](MS3D& m) { m.groups[0].triangleIndices[1] = 2; }, "a group uses a triangle that does not exist"},
        {[](MS3D& m) { m.vertices[3].boneId = 2; }, "a vertex is bound to a joint that does not exist"},
        {[=](MS3D& m) { m.vertices[2].position.y = nan; }, notFinite},
        {[=](MS3D& m) { m.materials[0].transparency = nan; }, notFinite},
        {[](MS3D& m) { m.animationFPS = 0; }, "the frame rate is not positive"},
        {[](MS3D& m) { m.animationFPS = -24; }, "the frame rate is not positive"},
        {[](MS3D& m) { m.animationFPS = 1e-38f; }, "the animation length is not finite"},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        SCOPED_TRACE(i);
        MS3D m = ArmModel();
        cases[i].first(m);
        ExpectRefused(ModelBytes(m), cases[i].second);
    }
    // Any negative joint and numbers in fields that nothing computes with load
    // as they are.
    MS3D m = ArmModel();
    m.vertices[0].boneId = -128;
    m.materials[0].shininess = nan;
    m.materials[0].ambient[0] = inf;
    EXPECT_EQ(Loaded(m).numJoints, 2);
}

TEST(ModelSkeleton, ParentIsTheFirstEarlierJointOfThatNameElseTheJointIsARoot)
{
    // 2 names itself, 3 names a joint that does not exist, 4 names 5 (after
    // it), 5 names 0: each of 2, 3 and 4 becomes a root.
    const char* const names[][2] = {{"self", "self"}, {"lost", "nobody"}, {"early", "late"}, {"late", "upper"}};
    MS3D built = ArmModel();
    for (const auto& n : names) {
        built.joints.emplace_back();
        SetName(built.joints.back().name, n[0]);
        SetName(built.joints.back().parentName, n[1]);
    }
    MS3D m = Loaded(built);
    m.SetupSkeleton();
    const int parents[] = {-1, 0, -1, -1, -1, 0};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(m.skeleton[size_t(i)].parent, parents[i]) << i;
    // Two joints named alike: the lower index wins.
    SetName(m.joints[3].name, "upper");
    EXPECT_EQ(m.FindJoint("upper"), 0);
}

TEST(ModelSkeleton, ScaledBindPoseChainsParentsAndRevertsVerticesAndCornerNormals)
{
    // Halved, and with both joints turned +90 degrees (given in radians)
    // about Z: the lower joint, 1.5 up in the upper's frame, sits 1.5 along -x
    // from (2.5, 0, 0), turned 180 degrees. (3, 2.5, 0) is (2, 2.5) away from
    // it, (-2, -2.5) in its frame.
    MS3D built = ArmModel();
    built.joints[0].rotation = built.joints[1].rotation = VECTOR3D(0, 0, 1.5707964f);
    built.triangles[0].vertexNormals[1] = VECTOR3D(0, 1, 0);
    built.vertices[3].boneId = -7;
    MS3D m = Loaded(built);
    m.Scale(0.5f);
    ExpectNear(m.joints[0].translationKeys[1].value, 5, 0, 0, 0);
    m.InitialSetup();
    ExpectNear(m.vertices[2].position, -2, -2.5f, 0);
    ExpectNear(m.triangles[0].vertexNormals[1], 0, -1, 0);
    // The vertex on no joint (any negative number) and its normals stay in
    // model space.
    ExpectNear(m.vertices[3].position, 0, 0, 0, 0);
    ExpectNear(m.triangles[1].vertexNormals[2], 0, 0, 1, 0);
}
