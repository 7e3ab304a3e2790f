// Tests of the packs the content generator ships: they load through the
// program's own loaders, and the creature does what the herd code relies on.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "creatures/DogTables.h"
#include "model/ModelMain.h"
#include "model/ModelPack.h"
#include "resources/PackWriter.h"
#include "resources/Texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
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

    // Poses the creature at a frame, updating it in the order the herd does.
    void ShowFrame(int frame)
    {
        instance.SetAnimation(frame, frame + 1, 1000.0, false, false);
        instance.RevertPoints(instance.joints.data());
        instance.Animate(0);
        instance.UpdateSkeleton();
        instance.UpdatePoints(instance.joints.data());
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
    // The badge and the two captions.
    for (auto [lump, width] : {std::pair{1, 256u}, {4, 512u}, {5, 512u}})
        EXPECT_TRUE(textures[lump].width == width && textures[lump].height == 32u) << "picture " << lump;
    // The footprint's shape is in its alpha: clear at the corner, solid in the main pad.
    int w = 0, h = 0;
    const std::vector<unsigned char> print = ReadTexture(textures[6].texID, &w, &h);
    EXPECT_TRUE(print[3] == 0 && print[(size_t(h) / 3 * w + w / 2) * 4 + 3] > 200);
}

// The creature as the herd relies on it: its counts and joints, a skin that
// is closed and wound one way (every edge used once in each direction) and
// moved by every joint, idles that stay in place, and sequences that end
// standing.
TEST_F(ContentTest, CreaturePackHasTheModelTheHerdExpects)
{
    Creature c;
    ASSERT_TRUE(c.Load(1.0f));
    EXPECT_GE(c.numCoats, 16);
    EXPECT_TRUE(c.model.numTriangles <= 4000 && c.model.numMaterials == 1);
    ASSERT_GE(c.model.numJoints, 27);
    for (int j = 0; j < c.model.numJoints; j++)
        EXPECT_LT(c.model.skeleton[j].parent, j) << "joint " << j << " comes before its parent";

    // Paw joints sit at the soles, on the ground; it faces +z.
    c.ShowFrame(0);
    for (int foot : dogFeet)
        EXPECT_NEAR(c.Joint(foot).y, 0.0f, 1e-4f) << "paw joint " << foot;
    EXPECT_GT(c.Joint(4).z, c.Joint(c.model.numJoints - 1).z);
    // Both strides start inside the window in which they may steer.
    const float fps = c.animTemplate.animationFPS;
    EXPECT_LT(float(dogAnims[0].startFrame * 1000.0 / fps), 333.33331f);
    EXPECT_LT(float(dogAnims[1].startFrame * 1000.0 / fps), 999.99994f);

    std::map<std::pair<int, int>, int> edges;
    for (const MS3D_TRIANGLE& t : c.model.triangles)
        for (int k = 0; k < 3; k++)
            edges[{t.vertexIndices[k], t.vertexIndices[(k + 1) % 3]}]++;
    for (const auto& [edge, count] : edges)
        ASSERT_TRUE(count == 1 && edges.count({edge.second, edge.first}) == 1)
            << "edge " << edge.first << "-" << edge.second << " open or used twice the same way";
    std::set<int> skinned;
    for (const MS3D_VERTEX& v : c.model.vertices)
        skinned.insert(v.boneId);
    for (int j = 1; j < c.model.numJoints; j++)
        EXPECT_EQ(skinned.count(j), 1u) << "joint " << j << " moves no part of the skin";

    for (int row = 2; row < NUM_DOG_ANIMS; row++)
        for (int f = dogAnims[row].startFrame; f <= dogAnims[row].endFrame; f++) {
            c.ShowFrame(f);
            const VECTOR3D root = c.Joint(0);
            ASSERT_TRUE(std::fabs(root.x) < 1e-4f && std::fabs(root.z) < 1e-4f) << "idle frame " << f << " moves";
        }
    // Sit down, sit, stand up and lie down, lie, get up end in the standing pose.
    c.ShowFrame(0);
    std::vector<VECTOR3D> standing;
    for (int j = 0; j < c.model.numJoints; j++)
        standing.push_back(c.Joint(j));
    for (int last : {dogAnims[5].endFrame, dogAnims[8].endFrame}) {
        c.ShowFrame(last);
        for (int j = 0; j < c.model.numJoints; j++)
            EXPECT_TRUE(std::fabs(c.Joint(j).y - standing[j].y) < 1e-3f && std::fabs(c.Joint(j).z - standing[j].z) < 1e-3f)
                << "joint " << j << " at frame " << last;
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
