// Tests of `larkspur-pack model-info`, run as a program on models and packs
// written by the tests.
#include "fixtures/TempDir.h"
#include "fixtures/TestModels.h"
#include "resources/PackWriter.h"

#include <gtest/gtest.h>

namespace {

int ModelInfo(const std::string& path, std::string* out, std::string* err = nullptr)
{
    return RunCommand(std::string(LARKSPUR_PACK_TOOL) + " model-info " + path, out, err);
}

} // namespace

TEST(LarkspurPackModelInfo, PrintsCountsAndJointTreeOfABareModelOrAPack)
{
    const std::string arm = "vertices 4\ntriangles 2\ngroups 1\nmaterials 1\njoints 2\n"
                            "keys 4 rotation, 2 translation\nframe rate 24\ntotal frames 30\ntotal time 1250 ms\n"
                            "joint tree:\n"
                            "  0 upper  parent -1  rotation keys 2  translation keys 2\n"
                            "    1 lower  parent 0  rotation keys 2  translation keys 0\n";
    TempDir dir;
    std::string out;
    ASSERT_EQ(ModelInfo(dir.Write("arm.ms3d", ModelBytes(ArmModel())), &out), 0);
    EXPECT_EQ(out, "version 4\n" + arm);
    PackWriter pack;
    pack.AddLump(ModelBytes(ArmModel(), 3));
    pack.AddLump({'x'}, 1, 0);
    ASSERT_TRUE(pack.Write(dir.File("b.oak")));
    ASSERT_EQ(ModelInfo(dir.File("b.oak"), &out), 0);
    EXPECT_EQ(out, "version 3\n" + arm);

    // What hangs from a parent cycle is shown under the joint that closes it.
    MS3D m = ArmModel();
    m.joints.push_back(m.joints[1]);
    SetName(m.joints[2].name, "hand");
    SetName(m.joints[2].parentName, "lower");
    SetName(m.joints[0].parentName, "lower");
    ASSERT_EQ(ModelInfo(dir.Write("loop.ms3d", ModelBytes(m)), &out), 0);
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
    EXPECT_EQ(ModelInfo(dir.Write("cut.ms3d", bytes), nullptr, &err), 1);
    EXPECT_EQ(err, "larkspur-pack: " + dir.File("cut.ms3d") + ": the triangle count runs past the end of the model\n");
    PackWriter pack;
    pack.AddLump({'M', 'S', '3', 'D'});
    ASSERT_TRUE(pack.Write(dir.File("b.oak")));
    EXPECT_EQ(ModelInfo(dir.File("b.oak"), nullptr, &err), 1);
    EXPECT_NE(err.find("lump 0: the model ends early"), std::string::npos) << err;
    EXPECT_EQ(ModelInfo(dir.File("missing"), nullptr, &err), 1);
    EXPECT_EQ(RunCommand(std::string(LARKSPUR_PACK_TOOL) + " model-info"), 2);
}
