// Tests of the resource pack reader, mostly on packs that lie.
#include "fixtures/TempDir.h"
#include "resources/ByteOrder.h"
#include "resources/PackWriter.h"
#include "resources/ResFile.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::vector<unsigned char> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// A pack of three lumps: "hello" (type 1, option 2), an empty lump, and "world!".
std::vector<unsigned char> SamplePack()
{
    PackWriter w;
    w.AddLump(Bytes("hello"), 1, 2);
    w.AddLump({}, 3, 0);
    w.AddLump(Bytes("world!"), 7, 9);
    return w.Build();
}

// Rewrites one header or table word in place.
void Patch(std::vector<unsigned char>& pack, size_t offset, uint32_t value)
{
    WriteU32LE(pack.data() + offset, value);
}

uint32_t TableOffset(const std::vector<unsigned char>& pack) { return ReadU32LE(pack.data() + 20); }

class ResFileTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ResFileTest, OpensAPackAndReadsEveryLump)
{
    RESFILE pack;
    ASSERT_TRUE(pack.Open(dir.Write("p", SamplePack()).c_str()));
    ASSERT_EQ(pack.header.numLumps, 3u);
    EXPECT_EQ(pack.lumps[0].type, 1u);
    EXPECT_EQ(pack.lumps[0].option, 2u);
    EXPECT_EQ(pack.lumps[2].type, 7u);

    unsigned char* raw = nullptr;
    ASSERT_TRUE(pack.LoadData(2, &raw));
    std::unique_ptr<unsigned char[]> data(raw);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), 6), "world!");

    // An empty lump still yields a buffer of its own.
    raw = nullptr;
    ASSERT_TRUE(pack.LoadData(1, &raw));
    EXPECT_NE(raw, nullptr);
    delete[] raw;

    // SeekLump leaves the stream at the lump for readers that parse in place.
    ASSERT_TRUE(pack.SeekLump(0));
    char first[5];
    pack.stream.read(first, 5);
    EXPECT_EQ(std::string(first, 5), "hello");
}

TEST_F(ResFileTest, EmptyPackOpensWhereverItsTableOffsetPoints)
{
    // A pack of no lumps has no table, so an offset past the end (or near
    // 4 GiB) is no reason to refuse it.
    for (uint32_t offset : {0u, 24u, 25u, 1000u, 0xFFFFFFF0u}) {
        auto bytes = PackWriter().Build();
        Patch(bytes, 20, offset);
        RESFILE pack;
        ASSERT_TRUE(pack.Open(dir.Write("p", bytes).c_str())) << offset << ": " << pack.failure;
        EXPECT_EQ(pack.header.numLumps, 0u);
        EXPECT_TRUE(pack.lumps);
        EXPECT_FALSE(pack.SeekLump(0));
        unsigned char* raw = nullptr;
        EXPECT_FALSE(pack.LoadData(0, &raw));
        EXPECT_EQ(raw, nullptr);
    }
}

TEST_F(ResFileTest, OpenRefusesFilesThatAreNotPacks)
{
    RESFILE pack;
    EXPECT_FALSE(pack.Open(dir.File("missing").c_str()));
    EXPECT_FALSE(pack.Open(dir.Write("short", Bytes("PLMF0123456789")).c_str()));

    auto wrongMagic = SamplePack();
    wrongMagic[3] = 'G';
    EXPECT_FALSE(pack.Open(dir.Write("magic", wrongMagic).c_str()));

    auto offByOne = SamplePack();
    Patch(offByOne, 16, ~uint32_t(offByOne.size() + 1));
    EXPECT_FALSE(pack.Open(dir.Write("size", offByOne).c_str()));

    // A pack that grew or shrank after it was written fails the size check too.
    auto truncated = SamplePack();
    truncated.pop_back();
    EXPECT_FALSE(pack.Open(dir.Write("trunc", truncated).c_str()));
    EXPECT_FALSE(pack.lumps);
}

TEST_F(ResFileTest, OpenRefusesATableThatDoesNotFitBeforeAllocating)
{
    RESFILE pack;
    // Four billion lumps: the table would need over 100 GB, so this must fail
    // on the arithmetic, not on an allocation.
    auto huge = SamplePack();
    Patch(huge, 12, 4000000000u);
    EXPECT_FALSE(pack.Open(dir.Write("huge", huge).c_str()));
    EXPECT_FALSE(pack.lumps);

    // Table offset near 4 GiB: the sum must not wrap around to something small.
    auto wrap = SamplePack();
    Patch(wrap, 20, 0xFFFFFFF0u);
    EXPECT_FALSE(pack.Open(dir.Write("wrap", wrap).c_str()));

    // The last entry hangs one byte over the end.
    auto partly = SamplePack();
    Patch(partly, 20, TableOffset(partly) + 1);
    EXPECT_FALSE(pack.Open(dir.Write("partly", partly).c_str()));

    // One more lump than the table holds.
    auto extra = SamplePack();
    Patch(extra, 12, 4);
    EXPECT_FALSE(pack.Open(dir.Write("extra", extra).c_str()));
}

TEST_F(ResFileTest, LumpNumbersOutsideTheTableFailWithoutTouchingTheStream)
{
    RESFILE pack;
    ASSERT_TRUE(pack.Open(dir.Write("p", SamplePack()).c_str()));
    unsigned char sentinel = 0;
    unsigned char* out = &sentinel;
    EXPECT_FALSE(pack.LoadData(-1, &out));
    EXPECT_FALSE(pack.LoadData(3, &out));
    EXPECT_FALSE(pack.SeekLump(-1));
    EXPECT_FALSE(pack.SeekLump(3));
    EXPECT_EQ(out, &sentinel);
    // The guards left the stream usable.
    EXPECT_TRUE(pack.SeekLump(2));
}

TEST_F(ResFileTest, LumpRunningPastTheEndFailsAndLeavesTheOutputAlone)
{
    auto bytes = SamplePack();
    const uint32_t entry0 = TableOffset(bytes);
    Patch(bytes, entry0, 4000000000u); // lump 0's size
    RESFILE pack;
    ASSERT_TRUE(pack.Open(dir.Write("p", bytes).c_str()));
    unsigned char sentinel = 0;
    unsigned char* out = &sentinel;
    EXPECT_FALSE(pack.LoadData(0, &out));
    EXPECT_EQ(out, &sentinel);

    // A lump whose offset lies past the end cannot be loaded either.
    auto far = SamplePack();
    Patch(far, TableOffset(far) + RES_LUMP_BYTES + 4, 0x7FFFFFFFu); // lump 1's offset
    RESFILE pack2;
    ASSERT_TRUE(pack2.Open(dir.Write("far", far).c_str()));
    EXPECT_FALSE(pack2.LoadData(1, &out));
    EXPECT_EQ(out, &sentinel);
}

TEST_F(ResFileTest, ClosedReaderRefusesEverythingAndClosesTwice)
{
    RESFILE pack;
    unsigned char* out = nullptr;
    EXPECT_FALSE(pack.LoadData(0, &out));
    EXPECT_FALSE(pack.SeekLump(0));
    pack.Close();
    pack.Close();

    ASSERT_TRUE(pack.Open(dir.Write("p", SamplePack()).c_str()));
    pack.Close();
    EXPECT_FALSE(pack.lumps);
    EXPECT_FALSE(pack.stream.is_open());
    EXPECT_FALSE(pack.SeekLump(0));
    pack.Close();

    EXPECT_FALSE(pack.Open(dir.File("missing").c_str()));
    pack.Close();
}

TEST_F(ResFileTest, PackWriterWritesAtomicallyAndRoundTrips)
{
    PackWriter w;
    std::vector<unsigned char> big(70000);
    for (size_t i = 0; i < big.size(); i++)
        big[i] = static_cast<unsigned char>(i * 7 + 3);
    EXPECT_EQ(w.AddLump(big, 3, 1), 0);
    EXPECT_EQ(w.AddLump(Bytes("x"), 1, 0), 1);
    const std::string path = dir.File("w.pack");
    ASSERT_TRUE(w.Write(path));

    RESFILE pack;
    ASSERT_TRUE(pack.Open(path.c_str()));
    EXPECT_EQ(pack.fileLength, w.Build().size());
    unsigned char* raw = nullptr;
    ASSERT_TRUE(pack.LoadData(0, &raw));
    std::unique_ptr<unsigned char[]> data(raw);
    EXPECT_EQ(std::vector<unsigned char>(data.get(), data.get() + big.size()), big);

    std::string error;
    EXPECT_FALSE(w.Write(dir.File("no/such/folder/p"), &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
