// Tests of RegularFile: what is refused in a file's place, and the size bound
// of whole reads.
#include "fixtures/TempDir.h"
#include "resources/RegularFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(RegularFile, OnlyARegularFileOpensAndAWholeReadKeepsToItsBound)
{
    TempDir dir;
    dir.Write("five", {1, 2, 3, 4, 5});
    dir.Write("empty", {});
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0700), 0);
    const struct {
        std::string path;
        uint64_t bound;
        const char* why; // nullptr: read whole
        size_t size;
    } cases[] = {
        {dir.File("five"), 5, nullptr, 5},
        {dir.File("empty"), 0, nullptr, 0},
        {dir.File("five"), 4, "it is larger than 4 bytes", 0},
        {dir.File("missing"), 9, "no such file or directory", 0},
        {dir.File("folder"), 9, "it is a folder, not a file", 0},
        // A device is refused from its path alone, never opened.
        {"/dev/zero", 9, "it is a device, not a file", 0},
        {"", 9, "no file given", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " within " + std::to_string(c.bound));
        std::vector<unsigned char> bytes = {9};
        std::string why;
        EXPECT_EQ(ReadRegularFile(c.path.c_str(), c.bound, &bytes, &why), c.why == nullptr);
        EXPECT_EQ(why, c.why ? c.why : "");
        EXPECT_EQ(bytes.size(), c.why ? 1 : c.size);
    }
}
