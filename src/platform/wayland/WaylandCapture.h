// WaylandCapture: the screen as it is before our surfaces map. A Wayland
// client cannot read the screen itself, so it asks, in order: the desktop
// portal's Screenshot call (non-interactive, over the session bus), then
// grim (wlroots compositors). Each is given a few seconds; a desktop with
// neither yields nothing, which the view turns into the desktop-picture
// fallback.
#pragma once

#include <string>
#include <vector>

class Picture;

constexpr double kCaptureSeconds = 3.0;

// The main output as top-down R, G, B rows; outputName (may be empty, for
// all outputs) is the one grim captures. *how names the way that worked.
bool CaptureWaylandScreen(const std::string& outputName, std::vector<unsigned char>* rgb, int* width,
                          int* height, std::string* how);

// The path of the picture the portal saved; empty when no portal answers in
// time or the user's desktop refuses.
std::string PortalScreenshot(double seconds);
// The PNG bytes grim writes; empty when grim is missing, fails or is late.
std::vector<unsigned char> GrimScreenshot(const std::string& outputName, double seconds);

// A decoded picture as top-down R, G, B rows; false for an empty one.
bool PictureToRgb(const Picture& picture, std::vector<unsigned char>* rgb, int* width, int* height);
