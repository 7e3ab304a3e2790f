// WaylandCapture: the screen as it is before our surfaces map. A Wayland
// client cannot read the screen itself, so it asks, in order: the desktop
// portal's Screenshot call (non-interactive, over the session bus), then
// grim (wlroots compositors). Each is given a few seconds; a desktop with
// neither yields nothing, which the view turns into the desktop-picture
// fallback. The portal's screenshot covers every output, so it is cut down
// to the main one; grim is asked for the main output alone.
#pragma once

#include <string>
#include <vector>

class Picture;

constexpr double kCaptureSeconds = 3.0;

// A rectangle in the compositor's logical coordinates; empty while unknown.
struct LogicalArea {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// The smallest rectangle that holds both (either may be empty).
LogicalArea Union(const LogicalArea& a, const LogicalArea& b);

// What the capture is of: the main output, by name for grim and by place to
// cut it out of a screenshot of every output, and that layout's bounds.
struct CaptureTarget {
    // Empty when the compositor names no output.
    std::string name;
    LogicalArea main;
    // The main output's size in pixels; 0 while unknown.
    int pixelWidth = 0, pixelHeight = 0;
    LogicalArea layout;
};

// The main output as top-down R, G, B rows. *how names the way that worked;
// else *why says what each way answered.
bool CaptureWaylandScreen(const CaptureTarget& target, std::vector<unsigned char>* rgb, int* width, int* height,
                          std::string* how, std::string* why);

// The path of the picture the portal saved; empty when no portal answers in
// time or the user's desktop refuses, with *why saying which.
std::string PortalScreenshot(double seconds, std::string* why);
// The PNG bytes grim writes, of one output when outputName is given, else of
// all; empty when grim is missing, fails or is late, with *why saying which.
std::vector<unsigned char> GrimScreenshot(const std::string& outputName, double seconds, std::string* why);

// Cuts a screenshot of the whole layout (at whatever scale it was taken) down
// to the main output, resampled to the output's pixels where the screenshot
// has that many. Left whole when the layout or the output is unknown, or the
// output does not lie within the layout.
void CropToOutput(const CaptureTarget& target, std::vector<unsigned char>* rgb, int* width, int* height);

// A decoded picture as top-down R, G, B rows; false for an empty one.
bool PictureToRgb(const Picture& picture, std::vector<unsigned char>* rgb, int* width, int* height);
