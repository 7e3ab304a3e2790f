// Tests of LoadModel: the model from lump 0, bounded by that lump's size, and
// the coats from the later lumps, in the headless GL context.
#include "fixtures/GLContext.h"
#include "fixtures/TempDir.h"
#include "fixtures/TestModels.h"
#include "fixtures/TestPictures.h"
#include "model/ModelPack.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ModelPack : public GLContextTest {
protected:
    // Writes a pack of these lumps (the first the model, the rest coats of
    // the given types) and loads it, taking ownership of whatever array it
    // hands over.
    bool Load(const std::vector<std::pair<std::vector<unsigned char>, uint32_t>>& lumps)
    {
        PackWriter pack;
        for (const auto& lump : lumps)
            pack.AddLump(lump.first, lump.second, 0);
        const std::string path = dir.File("b.oak");
        EXPECT_TRUE(pack.Write(path));
        Texture* raw = nullptr;
        count = -1;
        model = MS3D();
        const bool ok = LoadModel(path.c_str(), &model, &raw, &count);
        coats.reset(raw);
        return ok;
    }

    TempDir dir;
    MS3D model;
    std::unique_ptr<Texture[]> coats;
    int count = -1;
};

} // namespace

TEST_F(ModelPack, LoadsTheModelFromLumpZeroAndCoatsFromTheRestAndStopsAtAFailure)
{
    const std::vector<unsigned char> arm = ModelBytes(ArmModel()), coat = QuadrantPictureBytes("jpeg", 4, 4);
    ASSERT_TRUE(Load({{arm, 0}, {coat, LUMP_JPEG}, {{'x'}, 0}, {QuadrantPictureBytes("jpeg", 8, 8), LUMP_JPEG}}))
        << model.failure;
    ASSERT_EQ(count, 3);
    EXPECT_EQ(coats[0].width, 4u);
    EXPECT_EQ(coats[1].texID, 0u);
    EXPECT_EQ(coats[2].width, 8u);
    // A pack with only the model gives no coats.
    ASSERT_TRUE(Load({{ModelBytes(QuadModel(), 3), 0}}));
    EXPECT_EQ(count, 0);

    // The model lacks its last bytes; the next lump must not stand in for them.
    std::vector<unsigned char> cut = ModelBytes(ArmModel(), 3);
    cut.resize(cut.size() - 4);
    EXPECT_FALSE(Load({{cut, 0}, {coat, LUMP_JPEG}}));
    EXPECT_EQ(count, -1) << "no coats are handed over without a model";
    EXPECT_FALSE(Load({}));

    // A coat that does not decode fails the load after the array is handed over.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Load({{arm, 0}, {coat, LUMP_JPEG}, {{1, 2, 3}, LUMP_TGA}}));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(count, 2);

    Texture* none = nullptr;
    EXPECT_FALSE(LoadModel(dir.File("b.oak").c_str(), nullptr, &none, &count));
}
