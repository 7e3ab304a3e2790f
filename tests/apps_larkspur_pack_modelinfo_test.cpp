// Tests of `larkspur-pack model-info`, run as a program on models and packs
// written by the tests.
#include "fixtures/TempDir.h"
#include "fixtures/TestModels.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

namespace {

const std::string kTool = LARKSPUR_PACK_TOOL;

const char* const kArmInfo = "vertices 4\n"
                             "triangles 2\n"
                             "groups 1\n"
                             "materials 1\n"
                             "joints 2\n"
                             "keys 4 rotation, 2 translation\n"
                             "frame rate 24\n"
                             "total frames 30\n"
                             "total time 1250 ms\n"
                             "joint tree:\n"
                             "  0 upper  parent -1  rotation keys 2  translation keys 2\n"
                             "    1 lower  parent 0  rotation keys 2  translation keys 0\n";

} // namespace

TEST(LarkspurPackModelInfo, PrintsCountsAndJointTreeOfABareModelOrAPack)
{
    TempDir dir;
    std::string out;
    ASSERT_EQ(RunCommand(kTool + " model-info " + dir.Write("arm.ms3d", ModelBytes(ArmModel())), &out), 0);
    EXPECT_EQ(out, std::string("version 4\n") + kArmInfo);

    PackWriter pack;
    pack.AddLump(ModelBytes(ArmModel(), 3));
    pack.AddLump({'x'}, 1, 0);
    ASSERT_TRUE(pack.Write(dir.File("b.oak")));
    ASSERT_EQ(RunCommand(kTool + " model-info " + dir.File("b.oak"), &out), 0);
    EXPECT_EQ(out, std::string("version 3\n") + kArmInfo);
}

TEST(LarkspurPackModelInfo, ShowsWhatHangsFromAParentCycle)
{
    TempDir dir;
    MS3D m = ArmModel();
    m.joints.push_back(m.joints[1]);
    SetName(m.joints[2].name, "hand");
    SetName(m.joints[2].parentName, "lower");
    SetName(m.joints[0].parentName, "lower");
    std::string out;
    ASSERT_EQ(RunCommand(kTool + " model-info " + dir.Write("loop.ms3d", ModelBytes(m)), &out), 0);
    EXPECT_NE(out.find("joint tree:\n"
                       "  0 upper  parent 1  rotation keys 2  translation keys 2  (in a parent cycle)\n"
                       "    1 lower  parent 0  rotation keys 2  translation keys 0\n"
                       "      2 hand  parent 1  rotation keys 2  translation keys 0\n"),
              std::string::npos)
        << out;
}

TEST(LarkspurPackModelInfo, RefusedModelsExitOneWithTheReason)
{
    TempDir dir;
    std::vector<unsigned char> bytes = ModelBytes(ArmModel());
    bytes.resize(100);
    std::string err;
    EXPECT_EQ(RunCommand(kTool + " model-info " + dir.Write("cut.ms3d", bytes), nullptr, &err), 1);
    EXPECT_EQ(err, "larkspur-pack: " + dir.File("cut.ms3d") + ": the triangle count runs past the end of the model\n");

    PackWriter pack;
    pack.AddLump({'M', 'S', '3', 'D'});
    ASSERT_TRUE(pack.Write(dir.File("b.oak")));
    EXPECT_EQ(RunCommand(kTool + " model-info " + dir.File("b.oak"), nullptr, &err), 1);
    EXPECT_NE(err.find("lump 0: the model ends early"), std::string::npos) << err;
    EXPECT_EQ(RunCommand(kTool + " model-info " + dir.File("missing"), nullptr, &err), 1);
    EXPECT_EQ(RunCommand(kTool + " model-info"), 2);
}
