// Tests of the packs the content generator ships: they load through the
// program's own loaders, and the creature does what the herd code relies on.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "creatures/DogTables.h"
#include "model/ModelMain.h"
#include "model/ModelPack.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"
#include "resources/Texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <memory>
#include <string>

namespace {

const std::string kResources = LARKSPUR_RESOURCES_DIR;

// The creature as the herd sets it up for a given size (1.0 = 100 %).
struct Creature {
    MS3D model;
    ANIMATIONTEMPLATE animTemplate;
    ONEMODEL instance;
    std::unique_ptr<Texture[]> coats;
    int numCoats = 0;

    bool Load(float dogSize)
    {
        Texture* raw = nullptr;
        const bool ok = LoadModel((kResources + "/b.oak").c_str(), &model, &raw, &numCoats);
        coats.reset(raw);
        if (!ok)
            return false;
        model.Scale(dogSize * 0.25f);
        model.InitialSetup();
        const unsigned int texture = coats[0].texID;
        return animTemplate.Setup(&model) && instance.Setup(&animTemplate, &model, &texture);
    }

    // One frame of the creature's update, in the order the herd runs it.
    void Step(double dt)
    {
        instance.RevertPoints(instance.joints.data());
        instance.Animate(dt);
        instance.UpdateSkeleton();
        instance.UpdatePoints(instance.joints.data());
    }

    void ShowFrame(int frame)
    {
        instance.SetAnimation(frame, frame + 1, 1000.0, false, false);
        Step(0);
    }

    VECTOR3D Joint(int j) const { return MatrixPointMultiply(instance.joints[j].absolute, MakePoint(0, 0, 0)); }
};

class ContentTest : public GLContextTest {};

TEST_F(ContentTest, ScenePackHoldsThePicturesTheSceneDraws)
{
    Texture* raw = nullptr;
    int count = 0;
    ASSERT_TRUE(LoadTexturesFromDataFile((kResources + "/pellmore.works").c_str(), &raw, &count));
    std::unique_ptr<Texture[]> textures(raw);
    ASSERT_EQ(count, 8);
    for (int i = 0; i < count; i++)
        EXPECT_NE(textures[i].texID, 0u) << "picture " << i;
    // The badge and the two captions.
    for (auto [lump, width] : {std::pair{1, 256u}, {4, 512u}, {5, 512u}})
        EXPECT_TRUE(textures[lump].width == width && textures[lump].height == 32u) << "picture " << lump;

    // The footprint's shape is in its alpha: clear around the pads, solid in them.
    int w = 0, h = 0;
    const std::vector<unsigned char> print = ReadTexture(textures[6].texID, &w, &h);
    ASSERT_EQ(size_t(w) * h * 4, print.size());
    EXPECT_EQ(print[3], 0) << "corner of the footprint";
    EXPECT_GT(print[(size_t(h) / 3 * w + w / 2) * 4 + 3], 200) << "main pad";

    // The spark is brightest, and most opaque, in the middle.
    const std::vector<unsigned char> spark = ReadTexture(textures[7].texID, &w, &h);
    const size_t middle = (size_t(h) / 2 * w + w / 2) * 4;
    EXPECT_GT(spark[middle + 3], 200);
    EXPECT_LT(spark[3], 10);
}

// The creature as the herd relies on it: its counts and joints, a skin that
// is closed and wound one way (every edge used once in each direction) whose
// main piece carries every joint that moves the body (the eyes, the nose and
// the tongue are the only other pieces), idles that stay in place, and
// sequences that join up and end standing.
TEST_F(ContentTest, CreaturePackHasTheModelTheHerdExpects)
{
    Creature c;
    ASSERT_TRUE(c.Load(1.0f));
    EXPECT_GE(c.numCoats, 16);
    for (int i = 0; i < c.numCoats; i++)
        EXPECT_TRUE(c.coats[i].texID != 0 && c.coats[i].width == 256u) << "coat " << i;
    EXPECT_LE(c.model.numTriangles, 4000);
    EXPECT_EQ(c.model.numMaterials, 1);
    for (const MS3D_GROUP& g : c.model.groups)
        EXPECT_EQ(g.materialIndex, 0);

    ASSERT_GE(c.model.numJoints, 27);
    for (int j = 0; j < c.model.numJoints; j++)
        EXPECT_LT(c.model.skeleton[j].parent, j) << "joint " << j << " comes before its parent";
    EXPECT_EQ(c.model.skeleton[0].parent, -1);

    // Paw joints sit at the soles, on the ground, at full size.
    c.ShowFrame(0);
    for (int foot : dogFeet)
        EXPECT_NEAR(c.Joint(foot).y, 0.0f, 1e-4f) << "paw joint " << foot;
    // It faces +z: the head is ahead of the tail.
    EXPECT_GT(c.Joint(4).z, c.Joint(c.model.numJoints - 1).z);

    // Both strides start inside the window in which they may steer.
    const float fps = c.animTemplate.animationFPS;
    EXPECT_LT(float(dogAnims[0].startFrame * 1000.0 / fps), 333.33331f);
    EXPECT_LT(float(dogAnims[1].startFrame * 1000.0 / fps), 999.99994f);

    std::map<std::pair<int, int>, int> edges;
    std::vector<int> piece(c.model.numVertices);
    std::iota(piece.begin(), piece.end(), 0);
    std::function<int(int)> find = [&](int v) { return piece[v] == v ? v : piece[v] = find(piece[v]); };
    for (const MS3D_TRIANGLE& t : c.model.triangles)
        for (int k = 0; k < 3; k++) {
            const int a = t.vertexIndices[k], b = t.vertexIndices[(k + 1) % 3];
            edges[{a, b}]++;
            piece[find(a)] = find(b);
        }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second << " used twice the same way";
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << "open edge " << edge.first << "-" << edge.second;
    }
    std::map<int, std::set<int>> jointsOf;
    for (int v = 0; v < c.model.numVertices; v++)
        jointsOf[find(v)].insert(c.model.vertices[v].boneId);
    EXPECT_EQ(jointsOf.size(), 5u) << "the body, two eyes, the nose and the tongue";
    const int paw = find(std::find_if(c.model.vertices.begin(), c.model.vertices.end(),
                                      [](const MS3D_VERTEX& v) { return v.boneId == dogFeet[0]; }) -
                         c.model.vertices.begin());
    const int kTongue = 8;
    for (int j = 1; j < c.model.numJoints; j++)
        EXPECT_TRUE(j == kTongue || jointsOf[paw].count(j) == 1) << "joint " << j << " moves no part of the body's skin";

    for (int row = 2; row < NUM_DOG_ANIMS; row++)
        for (int f = dogAnims[row].startFrame; f <= dogAnims[row].endFrame; f++) {
            c.ShowFrame(f);
            const VECTOR3D root = c.Joint(0);
            ASSERT_TRUE(std::fabs(root.x) < 1e-4f && std::fabs(root.z) < 1e-4f) << "idle frame " << f << " moves";
        }

    // Sit down, sit, stand up and lie down, lie, get up: joined at their
    // shared frames and back on four feet at the end, in the standing pose.
    c.ShowFrame(0);
    std::vector<VECTOR3D> standing;
    for (int j = 0; j < c.model.numJoints; j++)
        standing.push_back(c.Joint(j));
    for (int last : {dogAnims[5].endFrame, dogAnims[8].endFrame}) {
        c.ShowFrame(last);
        for (int j = 0; j < c.model.numJoints; j++) {
            const VECTOR3D p = c.Joint(j);
            EXPECT_TRUE(std::fabs(p.y - standing[j].y) < 1e-3f && std::fabs(p.z - standing[j].z) < 1e-3f)
                << "joint " << j << " at frame " << last;
        }
    }
    for (int row : {3, 4, 6, 7})
        EXPECT_EQ(dogAnims[row].endFrame, dogAnims[row + 1].startFrame) << "row " << row;
}

// Plays each stride the way a travelling creature does and counts, per foot,
// how often it comes down, with the herd's threshold of 0.125 world units.
TEST_F(ContentTest, FeetPlantAndLiftOnEveryStrideAtSmallAndLargeSizes)
{
    for (float size : {0.5f, 4.0f})
        for (int row : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "size " << size << ", row " << row);
            Creature c;
            ASSERT_TRUE(c.Load(size));
            const DOGANIMATION& r = dogAnims[row];
            c.instance.SetAnimation(r.startFrame, r.endFrame, 1000.0, false, true);
            struct {
                int touchdowns = 0;
                bool down = true;
                float lowest = 1e9f, highest = -1e9f;
            } feet[4];
            float travelled = 0;
            for (int strides = 0; strides < 3;) {
                c.Step(1.0 / 60);
                for (int f = 0; f < 4; f++) {
                    const float y = c.Joint(dogFeet[f]).y;
                    feet[f].lowest = std::min(feet[f].lowest, y);
                    feet[f].highest = std::max(feet[f].highest, y);
                    feet[f].touchdowns += y < 0.125f && !feet[f].down;
                    feet[f].down = y < 0.125f;
                }
                if (!c.instance.blending && c.instance.currentTime >= c.instance.endTime) {
                    // The stride's travel is what the herd commits before restarting.
                    const VECTOR3D root = c.Joint(0);
                    EXPECT_NEAR(root.x, 0.0f, 1e-3f);
                    travelled += root.z;
                    c.instance.SetAnimation(r.startFrame, r.endFrame, 1000.0, false, false);
                    strides++;
                }
            }
            for (const auto& foot : feet) {
                EXPECT_TRUE(foot.touchdowns >= 2 && foot.touchdowns <= 3) << "touches down " << foot.touchdowns << " times";
                EXPECT_LT(foot.lowest, 0.1f * 0.25f * size) << "a foot is never planted";
                EXPECT_GE(foot.highest, 0.125f) << "a foot never lifts";
            }
            EXPECT_GT(travelled, 3 * 0.25f * size) << "the stride does not carry the creature forward";
        }
}

TEST(ContentGenerator, WritesTheSameBytesOnEveryRun)
{
    TempDir a, b;
    ASSERT_EQ(RunCommand(std::string(LARKSPUR_CONTENT_TOOL) + " " + a.path()), 0);
    ASSERT_EQ(RunCommand(std::string(LARKSPUR_CONTENT_TOOL) + " " + b.path()), 0);
    for (const char* pack : {"pellmore.works", "b.oak"}) {
        std::vector<unsigned char> first, second;
        ASSERT_TRUE(ReadWholeFile(a.File(pack), &first)) << pack;
        ASSERT_TRUE(ReadWholeFile(b.File(pack), &second)) << pack;
        EXPECT_TRUE(!first.empty() && first == second) << pack << " differs between runs";
    }
}

} // namespace
