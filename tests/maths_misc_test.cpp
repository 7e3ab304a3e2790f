// Tests for the small helpers: the error hook, the alert on standard error,
// and in-place Euler rotation (sense, order, float radians).
#include "maths/Misc.h"

#include <limits>

#include <gtest/gtest.h>

namespace {

VECTOR3D Rotated(VECTOR3D v, VECTOR3D angles)
{
    Rotate(&v, angles.x, angles.y, angles.z);
    return v;
}

} // namespace

TEST(Alerts, ErrorHookIsSilentAndMessageBoxWritesCaptionThenText)
{
    testing::internal::CaptureStderr();
    ERRORCLOSE("Unable to allocate memory!");
    MessageBox(nullptr, "Unsupported TGA type", "TGA Error", 0x10);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TGA Error: Unsupported TGA type\n");
}

// A capture keeps the first alert for its owner to tell, the innermost one
// alive takes it, and a mute around them changes nothing.
TEST(Alerts, ACaptureKeepsTheFirstAlertInsteadOfShowingIt)
{
    testing::internal::CaptureStderr();
    {
        const AlertMute mute(true);
        AlertCapture outer;
        {
            AlertCapture inner;
            MessageBox(nullptr, "first", "ERROR", 0);
            MessageBox(nullptr, "second", "ERROR", 0);
            EXPECT_EQ(inner.text(), "ERROR: first");
        }
        MessageBox(nullptr, "third", "Invalid Image", 0);
        EXPECT_EQ(outer.text(), "Invalid Image: third");
    }
    MessageBox(nullptr, "shown", "ERROR", 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: shown\n");
}

TEST(RotateVector, TurnsRightHandedXThenYThenZ)
{
    // The turn about Z is pinned exactly by the rounding case below.
    const struct {
        VECTOR3D in, angles, want;
    } rows[] = {
        {{1, 0, 0}, {0, 90, 0}, {0, 0, -1}},
        {{0, 1, 0}, {90, 0, 0}, {0, 0, 1}},
        // +Y to +Z to +X to +Y; the reverse order would end at -Y.
        {{0, 1, 0}, {90, 90, 90}, {0, 1, 0}},
    };
    for (const auto& row : rows) {
        const VECTOR3D v = Rotated(row.in, row.angles);
        SCOPED_TRACE(testing::Message() << row.angles.x << ' ' << row.angles.y << ' ' << row.angles.z);
        EXPECT_NEAR(v.x, row.want.x, 1e-5f);
        EXPECT_NEAR(v.y, row.want.y, 1e-5f);
        EXPECT_NEAR(v.z, row.want.z, 1e-5f);
    }
}

TEST(RotateVector, SkipsZeroAnglesAndRoundsRadiansToFloat)
{
    // Had the Y or Z step run with angle 0, 0 * inf would leave a NaN.
    const float inf = std::numeric_limits<float>::infinity();
    const VECTOR3D s = Rotated({inf, 0, 0}, {90, 0, 0});
    EXPECT_EQ(s.y, 0.0f);
    EXPECT_EQ(s.z, 0.0f);
    // pi/2 as a float is slightly above pi/2, so cos leaves about -4.4e-8
    // behind instead of the 6e-17 a double angle would.
    const VECTOR3D x = Rotated({1, 0, 0}, {0, 0, 90});
    EXPECT_EQ(x.x, -4.37113883e-08f);
    EXPECT_EQ(x.y, 1.0f);
}

// Whatever a settings file or a picture's name holds, what is printed has no
// control characters and no broken UTF-8, and different texts stay distinct.
TEST(PrintableText, EscapesControlsBackslashesC1AndBytesThatAreNotUtf8)
{
    const struct {
        std::string in, out;
    } rows[] = {
        {"/home/zo\xc3\xab/Bilder \xe2\x9c\x93", "/home/zo\xc3\xab/Bilder \xe2\x9c\x93"},
        {"a\x1b]0;title\x07"
         "b",
         "a\\x1b]0;title\\x07b"},
        {"line\nnext\ttab\rcr", "line\\nnext\\ttab\\rcr"},
        {"a\\nb", "a\\\\nb"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
        // U+009B is a one-character escape sequence on some terminals.
        {"csi\xc2\x9b"
         "31m",
         "csi\\xc2\\x9b31m"},
        {"bad\xff\xfe end", "bad\\xff\\xfe end"},
        // A character cut short at the end, and an overlong encoding.
        {"cut\xc3", "cut\\xc3"},
        {"long\xc0\xaf", "long\\xc0\\xaf"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PrintableText(row.in), row.out);
    }
}
