// Tests of the animation template and instances: fitting their model, the
// vertex buffer and its index list, playback with its cursors, clamping and
// looping, the blend, skinning of instances and their copies, and drawing.
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

// A template and one instance of a model, built the way the herd does.
class ModelInstance : public ::testing::Test {
protected:
    void Build(const MS3D& built)
    {
        model = SetUpModel(built);
        const unsigned int texture = 0;
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

TEST_F(ModelInstance, BufferSharesCornersThatAgreeGroupsPointAtTheirFirstIndexAndSkeletonsMustMatch)
{
    // Both triangles, then the second again as a group of its own: four
    // vertices serve all nine indices.
    MS3D quad = QuadModel();
    quad.triangles[0].t[0] = 0.25f;
    quad.groups.push_back(quad.groups[0]);
    quad.groups[1].triangleIndices = {1};
    Build(quad);
    EXPECT_EQ(instance.indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 2, 1, 3}));
    EXPECT_EQ(instance.groups[1].firstIndex, 6);
    EXPECT_EQ(instance.vertices[0].t, 0.75f);
    // Corners that differ in normal are split.
    Build(QuadModel(true));
    EXPECT_EQ(instance.numVertices, 6);

    // A template needs the model's skeleton, an instance its template's joints.
    MS3D arm = ArmModel();
    EXPECT_FALSE(ANIMATIONTEMPLATE().Setup(&arm));
    EXPECT_FALSE(ONEMODEL().Setup(&animation, &arm, nullptr));
}

TEST_F(ModelInstance, PlaybackInterpolatesClampsLoopsAndHolds)
{
    Build(ArmModel());
    BASICJOINT& upper = instance.joints[0];
    // Translation interpolates between keys and holds after the last; the
    // speed scales the step.
    instance.SetAnimation(0, 30, 500, false, false);
    instance.Animate(0.05);
    ExpectNear(upper.translation, 2.5f, 0, 0, 0);
    instance.Animate(0.25);
    ExpectNear(upper.translation, 10, 0, 0, 0);

    // Clamped at the end of the range.
    instance.SetAnimation(0, 6, 1000, false, false);
    instance.Animate(0.3);
    EXPECT_EQ(instance.currentTime, 250.0f);
    const std::vector<QUAT>& keys = animation.joints[0].keyQuats;
    EXPECT_TRUE(Same(upper.rotation, QuatSlerp(&keys[0], &keys[1], 0.25)));

    // Looped back to exactly the start, with the cursors reset.
    instance.SetAnimation(0, 6, 1000, true, false);
    instance.Animate(0.2);
    instance.Animate(0.1);
    EXPECT_EQ(instance.currentTime, 0.0f);
    ExpectNear(upper.translation, 0, 0, 0, 0);

    // A blend over an empty range heads for the keys at or after its time.
    instance.SetAnimation(12, 12, 1000, false, true);
    instance.Animate(0.5);
    ExpectNear(upper.translation, 10, 0, 0, 0);
    EXPECT_TRUE(Same(upper.rotation, animation.joints[0].keyQuats[1]));
}

TEST_F(ModelInstance, BlendProgressesAtItsRateWithoutMovingTheClock)
{
    Build(ArmModel());
    instance.joints[0].translation = VECTOR3D(0, 5, 0);
    instance.SetAnimation(0, 30, 1000, false, true);
    // Halfway, the translation is halfway from the captured one.
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
    instance.SetAnimation(24, 30, 1000, false, false);
    instance.Animate(0.1);
    instance.SetAnimation(0, 30, 1000, false, true);
    instance.Animate(0.125);
    instance.SetAnimation(24, 30, 1000, false, false);
    instance.Animate(0.1);
    EXPECT_TRUE(Same(instance.joints[0].rotation, animation.joints[0].keyQuats[1]));
}

TEST_F(ModelInstance, PoseAtAKeyTimeIsTheKeysPose)
{
    // Posed through a copy, which must carry the joint-space mesh and the
    // joints with their parents.
    Build(ArmModel());
    ONEMODEL copy;
    ASSERT_TRUE(copy.CopyFrom(instance));
    copy.SetAnimation(0, 24, 1000, false, false);
    for (int i = 0; i < 40 && copy.currentTime < copy.endTime; i++)
        Step(copy, 0.025);
    // Upper: turned 90 about Z, moved to (15, 0, 0): (1, 1, 0) goes to (14, 1, 0).
    ExpectNear(copy.vertices[0].position, 14, 1, 0, 1e-4f);
    // Lower: a further 90 about its origin 3 up the upper joint, at (12, 0, 0):
    // (1, 2, 0) in its frame goes to (11, -2, 0).
    ExpectNear(copy.vertices[2].position, 11, -2, 0, 1e-4f);
    ExpectNear(copy.vertices[3].position, 0, 0, 0, 0);
}

namespace {

// Steps of the long looped run. The sanitizers make every step many times
// slower, so their build runs a fifth of it; drift grows with every step, so
// that still shows it.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLongRunSteps = 20000;
#else
constexpr int kLongRunSteps = 100000;
#endif

// A long chain of 40 joints, each turned in its bind pose, with 100 rotation
// and 100 translation keys each and 200 vertices spread over them, each with
// a triangle of its own. The first joint's parent, "bone-1", does not exist.
MS3D ChainModel()
{
    MS3D m;
    m.animationFPS = 32;
    m.groups.resize(1);
    MS3D_TRIANGLE triangle = QuadModel().triangles[0];
    for (uint16_t v = 0; v < 200; v++) {
        const float f = v;
        m.vertices.push_back({0, 0, int8_t(v % 40), {std::sin(f), 0.5f * float(v % 40) + 0.1f * std::cos(f), 0.3f}});
        std::fill(triangle.vertexIndices, triangle.vertexIndices + 3, v);
        m.triangles.push_back(triangle);
        m.groups[0].triangleIndices.push_back(v);
    }
    m.joints.resize(40);
    for (int j = 0; j < 40; j++) {
        MS3D_JOINT& joint = m.joints[size_t(j)];
        SetName(joint.name, "bone" + std::to_string(j));
        SetName(joint.parentName, "bone" + std::to_string(j - 1));
        joint.position = VECTOR3D(0, 0.5f, 0);
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

TEST_F(ModelInstance, SkinnedChainHoldsItsBindPoseAndEqualsAFreshPoseAfterALongLoopedRun)
{
    Build(ChainModel());
    const std::vector<MODELVERTEX> jointSpace = instance.vertices;

    // The template's bind matrices are the skeleton's, turned joints included.
    for (size_t j = 0; j < animation.joints.size(); j++)
        EXPECT_TRUE(std::equal(model.skeleton[j].relative.m, model.skeleton[j].relative.m + 16,
                               animation.joints[j].bindMatrix.m))
            << j;

    // A night's worth of looped playback (about 42 minutes of 25 ms frames)
    // must leave the skin exactly where a fresh pose with the same matrices
    // puts it: nothing may build up from frame to frame, and posing is exactly
    // those two products, so no pixel depends on how the loop is written.
    instance.SetAnimation(0, 100, 1000, true, true);
    for (int i = 0; i < kLongRunSteps; i++)
        Step(instance, 0.025);
    for (size_t v = 0; v < jointSpace.size(); v++) {
        const MATRIX& a = instance.joints[size_t(jointSpace[v].joint)].absolute;
        const VECTOR3D p = MatrixTranslatePoint(a, MatrixRotatePoint(a, jointSpace[v].position));
        const VECTOR3D n = MatrixRotatePoint(a, jointSpace[v].normal);
        const MODELVERTEX& got = instance.vertices[v];
        ExpectNear(got.position, p.x, p.y, p.z, 0);
        ExpectNear(got.normal, n.x, n.y, n.z, 0);
    }
}

namespace {

// A quad filling the top-right quarter of the view, textured from a 2x1
// texture: red on the left half of texture space, green on the right. Every
// corner has s = 0 (red), so green shows only when texture coordinates are
// generated: by default s is x, which at the quad's centre pixel is just past
// 0.5.
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
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);

        MS3D built = QuadModel();
        built.materials.resize(1);
        built.groups[0].materialIndex = 0;
        model = SetUpModel(built);
        ASSERT_TRUE(animation.Setup(&model));
        ASSERT_TRUE(instance.Setup(&animation, &model, &texture));
        const char* base = reinterpret_cast<const char*>(instance.vertices.data());
        glVertexPointer(3, GL_FLOAT, MODELVERTEX_STRIDE, base);
        glTexCoordPointer(2, GL_FLOAT, MODELVERTEX_STRIDE, base + MODELVERTEX_TEXCOORD_OFFSET);
    }

    // Draws one group the way a creature does, with the given texture bound
    // before, and checks the quad's centre pixel, the texture bound after and
    // that the draw leaves coordinate generation off.
    void ExpectDraw(int group, GLuint before, Colour colour, GLuint after)
    {
        SCOPED_TRACE(group);
        glBindTexture(GL_TEXTURE_2D, before);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        instance.DrawGroup(group);
        const std::vector<unsigned char> pixels = gl.ReadPixels();
        const size_t centre = (size_t(gl.height() * 3 / 4) * gl.width() + gl.width() * 3 / 4) * 4;
        EXPECT_TRUE(Near(pixels.data() + centre, colour, 0));
        GLint bound = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(bound, GLint(after));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S) || glIsEnabled(GL_TEXTURE_GEN_T));
    }

    GLuint texture = 0;
    MS3D model;
    ANIMATIONTEMPLATE animation;
    ONEMODEL instance;
};

} // namespace

TEST_F(ModelDrawing, GroupsDrawWithTheirMaterialsTextureAndGenerateCoordinatesOnlyForTheirOwnDraw)
{
    ExpectDraw(0, 0, kRed, texture);
    // Generated coordinates show green; groups outside the list draw nothing.
    instance.materials[0].mode = 0x80;
    ExpectDraw(-1, 0, kBlue, 0);
    ExpectDraw(1, 0, kBlue, 0);
    ExpectDraw(0, 0, kGreen, texture);
    // The file names a material it does not have (the loader lets it be): the
    // group draws with the bound texture, without generated coordinates.
    instance.groups[0].materialIndex = 5;
    ExpectDraw(0, texture, kRed, texture);
}
