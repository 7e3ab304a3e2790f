// Tests of the animation template and instances: key conversion, the vertex
// buffer and its index list, copies, playback with its cursors, clamping and
// looping, the blend, joint matrices and skinning there and back.
#include "fixtures/GLContext.h"
#include "fixtures/TestModels.h"
#include "fixtures/TestPictures.h"
#include "model/ModelMain.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

MS3D SetUpModel(const MS3D& built)
{
    MS3D m;
    EXPECT_TRUE(LoadBytes(ModelBytes(built), &m)) << m.failure;
    m.InitialSetup();
    return m;
}

void ExpectNear(VECTOR3D v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

bool Same(const QUAT& a, const QUAT& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

bool Same(const MATRIX& a, const MATRIX& b)
{
    return std::equal(a.m, a.m + 16, b.m);
}

// A template and one instance of a model, built the way the herd does.
class ModelInstance : public ::testing::Test {
protected:
    void Build(const MS3D& built, unsigned int texture = 0)
    {
        model = SetUpModel(built);
        ASSERT_TRUE(animation.Setup(&model));
        ASSERT_TRUE(instance.Setup(&animation, &model, &texture));
    }

    // One frame in the order the creature runs it.
    void Step(ONEMODEL& m, double seconds)
    {
        m.RevertPoints(m.joints.data());
        m.Animate(seconds);
        m.UpdateSkeleton();
        m.UpdatePoints(m.joints.data());
    }

    MS3D model;
    ANIMATIONTEMPLATE animation;
    ONEMODEL instance;
};

} // namespace

TEST_F(ModelInstance, TemplateConvertsKeysAndFitsOnlyItsOwnModel)
{
    Build(ArmModel());
    EXPECT_EQ(animation.totalTime, 1250.0f);
    const TEMPLATE_JOINT& upper = animation.joints[0];
    ASSERT_EQ(upper.keyQuats.size(), 2u);
    EXPECT_TRUE(Same(upper.keyQuats[1], RotationToQuat(VECTOR3D(0, 0, 1.5707964f * 57.29578f))));
    EXPECT_NEAR(upper.keyQuats[1].z, std::sqrt(0.5), 1e-7);

    MS3D quad = SetUpModel(QuadModel());
    ONEMODEL wrong;
    unsigned int texture = 0;
    EXPECT_FALSE(wrong.Setup(&animation, &quad, &texture));
    EXPECT_TRUE(wrong.vertices.empty());
    // No skeleton, no template.
    MS3D raw = ArmModel();
    ANIMATIONTEMPLATE other;
    EXPECT_FALSE(other.Setup(&raw));
    EXPECT_TRUE(other.joints.empty());
}

TEST_F(ModelInstance, BufferSharesCornersThatAgreeAndGroupsPointAtTheirFirstIndex)
{
    MS3D quad = QuadModel();
    quad.triangles[0].t[0] = 0.25f;
    quad.triangles[0].s[0] = 0.5f;
    Build(quad);
    EXPECT_EQ(instance.numVertices, 4);
    EXPECT_EQ(instance.numTriangles, 2);
    EXPECT_EQ(instance.indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3}));
    EXPECT_EQ(instance.vertices[0].t, 0.75f);
    EXPECT_EQ(instance.vertices[0].s, 0.5f);
    EXPECT_EQ(instance.vertices[3].t, 0.0f);
    EXPECT_EQ(instance.vertices[3].joint, -1);
    // Without joints the positions are those of the file.
    ExpectNear(instance.vertices[3].position, 1, 1, 0, 0);
    EXPECT_TRUE(instance.joints.empty());
    // Corners that differ in normal are split.
    Build(QuadModel(true));
    EXPECT_EQ(instance.numVertices, 6);
    EXPECT_EQ(instance.indices, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));

    MS3D built = QuadModel();
    built.triangles.resize(8, built.triangles[0]);
    built.groups[0].triangleIndices = {0, 1, 2};
    built.groups.push_back(built.groups[0]);
    built.groups[1].triangleIndices = {3, 4, 5, 6, 7};
    built.groups[1].materialIndex = 2;
    built.materials.resize(3);
    built.materials[2].mode = 0x80;
    built.materials[2].transparency = 0.5f;
    built.materials[2].ambient[1] = 0.25f;
    Build(built, 42);
    ASSERT_EQ(instance.numGroups, 2);
    EXPECT_EQ(instance.groups[0].firstIndex, 0);
    EXPECT_EQ(instance.groups[1].firstIndex, 9);
    EXPECT_EQ(instance.groups[1].numTriangles, 5);
    EXPECT_EQ(instance.groups[1].materialIndex, 2);
    EXPECT_EQ(instance.indices.size(), 24u);
    ASSERT_EQ(instance.numMaterials, 3);
    EXPECT_EQ(instance.materials[2].mode, 0x80);
    EXPECT_EQ(instance.materials[2].transparency, 0.5f);
    EXPECT_EQ(instance.materials[2].ambient[1], 0.25f);
    // Every material shares the one texture.
    for (MODELMATERIAL& m : instance.materials) {
        EXPECT_EQ(m.texture, 42u);
        m.texture = 0; // The name belongs to the herd's skins, not to this test.
    }
}

TEST_F(ModelInstance, CopySharesOnlyTheTemplateAndTheJointSpaceMesh)
{
    Build(ArmModel());
    instance.currentTime = 500;
    instance.position = VECTOR3D(1, 2, 3);
    const std::vector<MODELVERTEX> bindBuffer = instance.vertices;
    {
        ONEMODEL copy;
        ASSERT_TRUE(copy.CopyFrom(instance));
        EXPECT_EQ(copy.animTemplate, &animation);
        EXPECT_EQ(copy.bindMesh, instance.bindMesh);
        EXPECT_EQ(copy.numVertices, instance.numVertices);
        EXPECT_EQ(copy.indices, instance.indices);
        EXPECT_EQ(copy.currentTime, 0.0f);
        ExpectNear(copy.position, 0, 0, 0, 0);
        ASSERT_EQ(copy.joints.size(), 2u);
        EXPECT_EQ(copy.joints[1].parent, 0);
        copy.SetAnimation(0, 24, 1000, false, false);
        for (int i = 0; i < 10; i++)
            Step(copy, 0.05);
        EXPECT_NE(copy.vertices[0].position.x, bindBuffer[0].position.x);
    }
    // The source's buffer and the shared mesh are untouched by the copy's life.
    EXPECT_EQ(instance.vertices[0].position.x, bindBuffer[0].position.x);
    EXPECT_EQ(instance.bindMesh->positions[0].x, bindBuffer[0].position.x);
    ONEMODEL another;
    EXPECT_TRUE(another.CopyFrom(instance));
    EXPECT_FALSE(another.CopyFrom(another));
}

TEST_F(ModelInstance, PlaybackInterpolatesClampsLoopsAndHolds)
{
    Build(ArmModel());
    BASICJOINT& upper = instance.joints[0];
    // A new range resets the cursors and captures the pose to blend from.
    upper.rotation = RotationToQuat(VECTOR3D(10, 0, 0));
    upper.translation = VECTOR3D(1, 2, 3);
    upper.curRotationKey = upper.lastRotationKey = 2;
    instance.SetAnimation(2, 18, 1000, false, false);
    EXPECT_EQ(instance.startTime, 83.333336f);
    EXPECT_EQ(instance.endTime, 750.0f);
    EXPECT_EQ(instance.currentTime, instance.startTime);
    EXPECT_EQ(upper.curRotationKey, 0);
    EXPECT_EQ(upper.lastRotationKey, -1);
    EXPECT_TRUE(Same(upper.blendFromRotation, upper.rotation));
    ExpectNear(upper.blendFromTranslation, 1, 2, 3, 0);

    // Translation interpolates between keys and holds after the last; the
    // lower joint has no translation keys and keeps its own.
    instance.SetAnimation(0, 30, 1000, false, false);
    instance.Animate(0.025);
    EXPECT_EQ(instance.currentTime, 25.0f);
    ExpectNear(upper.translation, 2.5f, 0, 0, 0);
    instance.Animate(0.075);
    EXPECT_EQ(instance.currentTime, 100.0f);
    ExpectNear(upper.translation, 10, 0, 0, 0);
    EXPECT_EQ(upper.curTranslationKey, 1);
    instance.Animate(0.05);
    ExpectNear(upper.translation, 10, 0, 0, 0);
    EXPECT_EQ(upper.curTranslationKey, 2);
    ExpectNear(instance.joints[1].translation, 0, 0, 0, 0);

    // Clamped at the end of the range, and held there.
    instance.SetAnimation(0, 6, 1000, false, false);
    instance.Animate(0.2);
    EXPECT_EQ(instance.currentTime, 200.0f);
    instance.Animate(0.1);
    EXPECT_EQ(instance.currentTime, 250.0f);
    const QUAT clamped = upper.rotation;
    EXPECT_TRUE(Same(clamped, QuatSlerp(&animation.joints[0].keyQuats[0], &animation.joints[0].keyQuats[1], 0.25)));
    instance.Animate(1.0);
    EXPECT_EQ(instance.currentTime, 250.0f);
    EXPECT_TRUE(Same(upper.rotation, clamped));

    instance.SetAnimation(0, 6, 1000, true, false);
    instance.Animate(0.2);
    ExpectNear(upper.translation, 10, 0, 0, 0);
    instance.Animate(0.1);
    // Looped back to exactly the start, with the cursors reset.
    EXPECT_EQ(instance.currentTime, 0.0f);
    ExpectNear(upper.translation, 0, 0, 0, 0);
    EXPECT_EQ(upper.curTranslationKey, 0);

    instance.SetAnimation(3, 30, 0, false, false);
    instance.Animate(0.5);
    EXPECT_EQ(instance.currentTime, 125.0f);
    ExpectNear(upper.translation, 10, 0, 0, 0);
    // Start equal to end: nothing moves without a blend...
    instance.SetAnimation(12, 12, 1000, false, false);
    upper.translation = VECTOR3D(7, 7, 7);
    instance.Animate(0.5);
    EXPECT_EQ(instance.currentTime, 500.0f);
    ExpectNear(upper.translation, 7, 7, 7, 0);
    // ...but a blend still heads for the keys at or after that time.
    instance.SetAnimation(12, 12, 1000, false, true);
    instance.Animate(0.5);
    EXPECT_FALSE(instance.blending);
    ExpectNear(upper.translation, 10, 0, 0, 0);
    EXPECT_TRUE(Same(upper.rotation, animation.joints[0].keyQuats[1]));
}

TEST_F(ModelInstance, BlendProgressesAtItsRateWithoutMovingTheClock)
{
    Build(ArmModel());
    instance.joints[0].translation = VECTOR3D(0, 5, 0);
    instance.SetAnimation(0, 30, 1000, false, true);
    for (float progress : {0.4f, 0.8f, 1.0f}) {
        instance.Animate(0.1);
        EXPECT_EQ(instance.blendProgress, progress);
        EXPECT_EQ(instance.currentTime, 0.0f);
    }
    EXPECT_FALSE(instance.blending);
    EXPECT_EQ(instance.joints[0].curTranslationKey, 0);
    // At progress 1 the pose is that of the first keys.
    ExpectNear(instance.joints[0].translation, 0, 0, 0, 0);
    EXPECT_TRUE(Same(instance.joints[0].rotation, animation.joints[0].keyQuats[0]));

    // Halfway, the translation is halfway from the captured one.
    instance.joints[0].translation = VECTOR3D(0, 5, 0);
    instance.SetAnimation(0, 30, 1000, false, true);
    instance.Animate(0.125);
    ExpectNear(instance.joints[0].translation, 0, 2.5f, 0, 0);
    // Playback starts with the first step after the blend.
    instance.Animate(0.125);
    instance.Animate(0.025);
    EXPECT_EQ(instance.currentTime, 25.0f);

    // The upper joint turns from 0 to 90 degrees about Z between its two
    // keys. Halfway back to the first key (45 degrees), a new range past the
    // last key cuts the blend short; it must show that key's 90 degrees, not
    // hold the 45.
    const QUAT& last = animation.joints[0].keyQuats[1];
    instance.SetAnimation(24, 30, 1000, false, false);
    instance.Animate(0.1);
    EXPECT_TRUE(Same(instance.joints[0].rotation, last));
    instance.SetAnimation(0, 30, 1000, false, true);
    instance.Animate(0.125);
    EXPECT_NEAR(instance.joints[0].rotationMatrix.m[0], std::sqrt(0.5), 1e-6);
    instance.SetAnimation(24, 30, 1000, false, false);
    instance.Animate(0.1);
    EXPECT_TRUE(Same(instance.joints[0].rotation, last));
    EXPECT_NEAR(instance.joints[0].rotationMatrix.m[0], 0, 1e-6);
    EXPECT_NEAR(instance.joints[0].rotationMatrix.m[1], 1, 1e-6);
}

TEST_F(ModelInstance, PoseAtAKeyTimeIsTheKeysPoseAndRevertsToJointSpace)
{
    Build(ArmModel());
    const std::vector<MODELVERTEX> jointSpace = instance.vertices;
    instance.SetAnimation(0, 24, 1000, false, false);
    for (int i = 0; i < 40 && instance.currentTime < instance.endTime; i++)
        Step(instance, 0.025);
    ASSERT_EQ(instance.currentTime, 1000.0f);
    EXPECT_TRUE(Same(instance.joints[0].rotation, animation.joints[0].keyQuats[1]));
    EXPECT_TRUE(Same(instance.joints[1].rotation, animation.joints[1].keyQuats[1]));
    // Upper: turned 90 about Z, moved to (15, 0, 0): (1, 1, 0) goes to (14, 1, 0).
    ExpectNear(instance.vertices[0].position, 14, 1, 0, 1e-4f);
    // Lower: a further 90 about its origin 3 up the upper joint, at (12, 0, 0):
    // (1, 2, 0) in its frame goes to (11, -2, 0).
    ExpectNear(instance.vertices[2].position, 11, -2, 0, 1e-4f);
    ExpectNear(instance.vertices[3].position, 0, 0, 0, 0);

    const std::vector<MODELVERTEX> posed = instance.vertices;
    instance.RevertPoints(instance.joints.data());
    for (size_t i = 0; i < jointSpace.size(); i++) {
        const VECTOR3D &p = jointSpace[i].position, &n = jointSpace[i].normal;
        ExpectNear(instance.vertices[i].position, p.x, p.y, p.z);
        ExpectNear(instance.vertices[i].normal, n.x, n.y, n.z);
        EXPECT_EQ(instance.vertices[i].s, jointSpace[i].s);
    }

    // Posing starts from the joint-space copy, whatever the buffer holds.
    for (MODELVERTEX& v : instance.vertices)
        v.position = v.normal = VECTOR3D(1e6f, -1e6f, 1e6f);
    instance.UpdatePoints(instance.joints.data());
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(instance.vertices[i].position.x, posed[i].position.x);
        EXPECT_EQ(instance.vertices[i].normal.y, posed[i].normal.y);
    }

    // A joint naming itself as parent animates as a root: chained to its own
    // matrix, its pose would compound every frame and carry its vertices off
    // without bound.
    MS3D arm = ArmModel();
    SetName(arm.joints[1].parentName, "lower");
    Build(arm);
    EXPECT_EQ(instance.joints[1].parent, -1);
    instance.SetAnimation(0, 30, 1000, true, false);
    for (int i = 0; i < 200; i++)
        Step(instance, 0.025);
    EXPECT_TRUE(Same(instance.joints[1].absolute, instance.joints[1].relative));
    EXPECT_LT(std::fabs(instance.vertices[2].position.y), 10.0f);
}

namespace {

// Steps of the long looped run. The sanitizers make every step many times
// slower, so their build runs a fifth of it; drift grows with every step, and
// that is still far past the tolerance.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLongRunSteps = 20000;
#else
constexpr int kLongRunSteps = 100000;
#endif

// A long chain of 40 joints with 100 rotation and 100 translation keys each,
// with vertices spread over them. Key times of 1/32 s are exact in binary,
// so steps can land on them.
MS3D ChainModel(int numVertices)
{
    MS3D m;
    m.animationFPS = 32;
    m.totalFrames = 100;
    m.materials.resize(1);
    m.groups.resize(1);
    m.groups[0].materialIndex = 0;
    m.triangles.resize(size_t(numVertices));
    for (int v = 0; v < numVertices; v++) {
        m.vertices.push_back({0, 0, int8_t(v % 40),
                              {std::sin(float(v)), 0.5f * float(v % 40) + 0.1f * std::cos(float(v)), 0.3f}});
        for (int c = 0; c < 3; c++) {
            m.triangles[size_t(v)].vertexIndices[c] = uint16_t((v + c) % numVertices);
            m.triangles[size_t(v)].vertexNormals[c] = VECTOR3D(0, 0, 1);
            m.triangles[size_t(v)].s[c] = float(c) / 2;
        }
        m.groups[0].triangleIndices.push_back(uint16_t(v));
    }
    m.joints.resize(40);
    for (int j = 0; j < 40; j++) {
        MS3D_JOINT& joint = m.joints[size_t(j)];
        SetName(joint.name, "bone" + std::to_string(j));
        if (j > 0) {
            SetName(joint.parentName, "bone" + std::to_string(j - 1));
            joint.position = VECTOR3D(0, 0.5f, 0);
        }
        joint.rotation = VECTOR3D(0.01f * float(j), 0, 0);
        for (int k = 0; k < 100; k++) {
            const float time = float(k) / 32;
            joint.rotationKeys.push_back(
                {time, VECTOR3D(0.2f * std::sin(0.1f * float(k + j)), 0.1f * std::cos(0.2f * float(k)), 0.05f)});
            joint.translationKeys.push_back({time, VECTOR3D(0.01f * float(k % 7), 0, 0.02f * float(k % 5))});
        }
    }
    return m;
}

} // namespace

TEST_F(ModelInstance, SkinnedChainHoldsKeyPosesAndEqualsAFreshPoseAfterALongLoopedRun)
{
    MS3D big;
    // Drift shows on every vertex alike, so a few per joint keep the long
    // run short.
    ASSERT_TRUE(LoadBytes(ModelBytes(ChainModel(200), 4, "exported by the tests"), &big)) << big.failure;
    EXPECT_EQ(big.numJoints, 40);
    big.Scale(0.25f);
    big.InitialSetup();
    ASSERT_TRUE(animation.Setup(&big));
    const unsigned int texture = 0;
    ASSERT_TRUE(instance.Setup(&animation, &big, &texture));
    const std::vector<MODELVERTEX> jointSpace = instance.vertices;

    // Ten steps of 31.25 ms land exactly on key 10 of every joint.
    instance.SetAnimation(0, 100, 1000, false, false);
    for (int i = 0; i < 10; i++)
        Step(instance, 1.0 / 32);
    ASSERT_EQ(instance.currentTime, 312.5f);
    std::vector<MATRIX> absolute(animation.joints.size());
    for (size_t j = 0; j < animation.joints.size(); j++) {
        const TEMPLATE_JOINT& tj = animation.joints[j];
        const VECTOR3D& key = tj.translationKeys[10].value;
        // The bind matrix is the skeleton's bind-pose relative matrix.
        EXPECT_TRUE(Same(tj.bindMatrix, big.skeleton[j].relative));
        EXPECT_TRUE(Same(instance.joints[j].rotation, tj.keyQuats[10]));
        ExpectNear(instance.joints[j].translation, key.x, key.y, key.z, 1e-6f);
        // The key's pose built from scratch down the chain.
        MATRIX local = QuatToRotationMatrix(tj.keyQuats[10]);
        local.SetTranslation(key);
        const MATRIX relative = MultiplyMatrix(tj.bindMatrix, local);
        absolute[j] = tj.parent < 0 ? relative : MultiplyMatrix(absolute[size_t(tj.parent)], relative);
    }
    for (size_t v = 0; v < jointSpace.size(); v++) {
        const MATRIX& a = absolute[size_t(jointSpace[v].joint)];
        const VECTOR3D expected = MatrixTranslatePoint(a, MatrixRotatePoint(a, jointSpace[v].position));
        ExpectNear(instance.vertices[v].position, expected.x, expected.y, expected.z, 1e-4f);
    }

    // A night's worth of looped playback (about 42 minutes of 25 ms frames)
    // must leave the skin where a fresh pose with the same matrices puts it:
    // nothing may build up from frame to frame.
    instance.SetAnimation(0, 100, 1000, true, true);
    for (int i = 0; i < kLongRunSteps; i++)
        Step(instance, 0.025);
    float worst = 0;
    for (size_t v = 0; v < jointSpace.size(); v++) {
        const MATRIX& a = instance.joints[size_t(jointSpace[v].joint)].absolute;
        const VECTOR3D p = MatrixTranslatePoint(a, MatrixRotatePoint(a, jointSpace[v].position));
        const VECTOR3D n = MatrixRotatePoint(a, jointSpace[v].normal);
        const MODELVERTEX& got = instance.vertices[v];
        for (float d : {got.position.x - p.x, got.position.y - p.y, got.position.z - p.z, got.normal.x - n.x,
                        got.normal.y - n.y, got.normal.z - n.z})
            worst = std::isnan(d) ? INFINITY : std::max(worst, std::fabs(d));
    }
    // Not merely close: posing is exactly those two products, so no pixel
    // depends on how the loop is written.
    EXPECT_EQ(worst, 0.0f);
}

namespace {

// A quad filling the view, textured from a 2x1 texture: red on the left half
// of texture space, green on the right. Every corner has s = 0.25 (red), so
// green shows only when texture coordinates are generated (s = 0.75 by the
// plane set below).
class ModelDrawing : public GLContextTest {
protected:
    void SetUp() override
    {
        GLContextTest::SetUp();
        if (HasFatalFailure())
            return;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        const unsigned char texels[] = {255, 0, 0, 255, 0, 255, 0, 255};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glEnable(GL_TEXTURE_2D);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        const GLfloat planeS[] = {0, 0, 0, 0.75f}, planeT[] = {0, 0, 0, 0.5f};
        glTexGenfv(GL_S, GL_OBJECT_PLANE, planeS);
        glTexGenfv(GL_T, GL_OBJECT_PLANE, planeT);
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, 1, 0, 1, -1, 1);
        const GLenum arrays[] = {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY};
        for (GLenum a : arrays)
            glEnableClientState(a);
    }

    // The materials release the texture with the instance.
    void TearDown() override { instance.materials.clear(); }

    // A new instance of the quad whose group uses the given material.
    void Build(uint8_t mode, int8_t materialIndex)
    {
        // Keep the texture alive past the old instance's materials.
        for (MODELMATERIAL& m : instance.materials)
            m.texture = 0;
        MS3D built = QuadModel();
        for (MS3D_TRIANGLE& t : built.triangles)
            for (int c = 0; c < 3; c++) {
                t.s[c] = 0.25f;
                t.t[c] = 0.5f;
            }
        built.materials.resize(1);
        built.materials[0].mode = mode;
        built.groups[0].materialIndex = materialIndex;
        model = SetUpModel(built);
        ASSERT_TRUE(animation.Setup(&model));
        ASSERT_TRUE(instance.Setup(&animation, &model, &texture));
        const char* base = reinterpret_cast<const char*>(instance.vertices.data());
        glVertexPointer(3, GL_FLOAT, MODELVERTEX_STRIDE, base);
        glNormalPointer(GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_NORMAL_OFFSET);
        glTexCoordPointer(2, GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_TEXCOORD_OFFSET);
    }

    // Draws one group the way a creature does, with the given texture bound
    // before, and checks the centre pixel, the texture bound after and that
    // the draw leaves coordinate generation off.
    void ExpectDraw(int group, GLuint before, Colour colour, GLuint after)
    {
        SCOPED_TRACE(group);
        glBindTexture(GL_TEXTURE_2D, before);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        instance.DrawGroup(group);
        glFinish();
        const std::vector<unsigned char> pixels = gl.ReadPixels();
        const size_t centre = (size_t(gl.height() / 2) * gl.width() + gl.width() / 2) * 4;
        EXPECT_TRUE(Near(pixels.data() + centre, colour, 0));
        GLint bound = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(bound, GLint(after));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    GLuint texture = 0;
    MS3D model;
    ANIMATIONTEMPLATE animation;
    ONEMODEL instance;
};

} // namespace

TEST_F(ModelDrawing, GroupsDrawWithTheirMaterialsTextureAndGenerateCoordinatesOnlyForTheirOwnDraw)
{
    Build(0, 0);
    ExpectDraw(0, 0, kRed, texture);
    // Generated coordinates show green; groups outside the list draw nothing.
    Build(0x80, 0);
    ExpectDraw(-1, 0, kBlue, 0);
    ExpectDraw(1, 0, kBlue, 0);
    ExpectDraw(0, 0, kGreen, texture);
    // The file names a material it does not have (the loader lets it be): the
    // group draws with the bound texture, without generated coordinates.
    Build(0x80, 5);
    ExpectDraw(0, texture, kRed, texture);
}
