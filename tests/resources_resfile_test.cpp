// Tests of the resource pack reader, mostly on packs that lie.
#include "fixtures/TempDir.h"
#include "resources/ByteOrder.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Text(const std::string& s)
{
    return {s.begin(), s.end()};
}

// "hello" (type 1, option 2), an empty lump (type 3) and "world!" (type 7, option 9).
PackWriter SampleWriter()
{
    PackWriter w;
    w.AddLump(Text("hello"), 1, 2);
    w.AddLump({}, 3, 0);
    w.AddLump(Text("world!"), 7, 9);
    return w;
}

// A copy of the pack with one header or table word rewritten.
Bytes Patched(Bytes pack, uint32_t offset, uint32_t value)
{
    WriteU32LE(pack.data() + offset, value);
    return pack;
}

class ResFileTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ResFileTest, WrittenPackReadsBackEveryLumpAndRefusesLumpsOutsideItsTable)
{
    const PackWriter w = SampleWriter();
    ASSERT_TRUE(w.Write(dir.File("w.pack")));
    RESFILE pack;
    ASSERT_TRUE(pack.Open(dir.File("w.pack").c_str())) << pack.failure;
    ASSERT_EQ(pack.header.numLumps, 3u);
    EXPECT_EQ(std::make_pair(pack.lumps[0].type, pack.lumps[0].option), std::make_pair(1u, 2u));
    const std::pair<int, Bytes> expected[] = {{2, Text("world!")}, {1, {}}};
    for (const auto& e : expected) {
        unsigned char* raw = nullptr;
        ASSERT_TRUE(pack.LoadData(e.first, &raw)) << e.first;
        // An empty lump still yields a buffer of its own.
        ASSERT_NE(raw, nullptr);
        const std::unique_ptr<unsigned char[]> data(raw);
        EXPECT_EQ(Bytes(raw, raw + e.second.size()), e.second);
    }

    unsigned char sentinel = 0;
    unsigned char* out = &sentinel;
    for (int lump : {-1, 3})
        EXPECT_FALSE(pack.LoadData(lump, &out) || pack.SeekLump(lump)) << lump;
    EXPECT_EQ(out, &sentinel);
    pack.Close();
    EXPECT_FALSE(pack.SeekLump(0));

    std::string error;
    EXPECT_FALSE(w.Write(dir.File("no/such/folder/p"), &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(ResFileTest, PacksThatLieAreRefusedBeforeAnythingIsAllocatedByTheirWord)
{
    const Bytes sample = SampleWriter().Build();
    const uint32_t table = ReadU32LE(sample.data() + 20);
    Bytes wrongMagic = sample;
    wrongMagic[3] = 'G';
    // lump: -1 when Open refuses the pack, else the lump LoadData refuses.
    const struct {
        const char* name;
        Bytes bytes;
        const char* failure;
        int lump;
    } cases[] = {
        {"short", Bytes(sample.begin(), sample.begin() + 14), "too short", -1},
        {"magic", wrongMagic, "bad magic", -1},
        // A pack that shrank after it was written.
        {"truncated", Bytes(sample.begin(), sample.end() - 1), "size check", -1},
        // Near 4 GiB the table's end must not wrap around to something small.
        {"wrap", Patched(sample, 20, 0xFFFFFFF0u), "table runs past", -1},
        // The last entry hangs one byte over the end.
        {"partly", Patched(sample, 20, table + 1), "table runs past", -1},
        {"lump size", Patched(sample, table, 4000000000u), "lump runs past", 0},
        // A pack of no lumps has no table, so an offset near 4 GiB is no
        // reason to refuse it.
        {"empty", Patched(PackWriter().Build(), 20, 0xFFFFFFF0u), "no such lump", 0},
    };
    RESFILE pack;
    EXPECT_FALSE(pack.Open(dir.File("missing").c_str()));
    EXPECT_STREQ(pack.failure, "no such file or directory");
    // A named pipe in a pack's place is refused at once, before the good
    // pack a writer brings a moment later.
    {
        const LatePipeWriter writer(dir.File("pipe"), sample);
        ASSERT_TRUE(writer.made());
        EXPECT_FALSE(pack.Open(dir.File("pipe").c_str()));
        EXPECT_STREQ(pack.failure, "it is a named pipe, not a file");
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned char sentinel = 0;
        unsigned char* out = &sentinel;
        EXPECT_EQ(pack.Open(dir.Write(c.name, c.bytes).c_str()), c.lump >= 0);
        EXPECT_FALSE(c.lump >= 0 && pack.LoadData(c.lump, &out));
        EXPECT_EQ(out, &sentinel);
        EXPECT_NE(std::string(pack.failure).find(c.failure), std::string::npos) << pack.failure;
    }
}

} // namespace
