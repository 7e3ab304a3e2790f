// HostServices: everything the view asks of the platform it runs on, and the
// preferences store it reads its settings from.
//
// The view's logic (LarkspurView) sees Linux only through these two
// interfaces. src/platform/ implements them: HostServices for X11 windows
// (x11/), for Wayland surfaces (wayland/) and for headless runs (headless/),
// the display hosts' shared part in loop/; the preferences store as a key file
// (prefs/). Tests implement them with fakes. All calls come from the thread
// that draws.
#pragma once

#include "scene/Damage.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A per-module key/value store; writes stay in memory until Synchronize.
class PreferencesStore {
public:
    virtual ~PreferencesStore() = default;

    // Each read is false, leaving *value alone, when the key is absent or its
    // value is not of that kind, so callers keep their own default.
    virtual bool ReadString(const char* key, std::string* value) const = 0;
    virtual bool ReadBool(const char* key, bool* value) const = 0;
    virtual bool ReadInteger(const char* key, int64_t* value) const = 0;

    virtual void WriteString(const char* key, const char* value) = 0;
    virtual void WriteBool(const char* key, bool value) = 0;
    virtual void WriteInteger(const char* key, int64_t value) = 0;

    // Writes the store through; false when it could not be saved.
    virtual bool Synchronize() = 0;
    // Why the last Synchronize failed, in words; empty when it did not.
    virtual std::string SaveError() const { return {}; }
    // Asks that the next Synchronize first keep a copy of the store's file as
    // it is now, under a name ending in ".<kind>", and tell the user: the file
    // `why` (such as "held settings of version 1.0"). Stores without a file,
    // or whose file is already to be kept, ignore it.
    virtual void KeepOldFile(const char* /*kind*/, const std::string& /*why*/) {}
};

// The size of a view in pixels, as doubles the way the host reports it.
struct ViewSize {
    double width = 0;
    double height = 0;
};

class HostServices {
public:
    virtual ~HostServices() = default;

    // Steady seconds for measuring gaps between frames; only differences count.
    virtual double SteadySeconds() = 0;
    // Wall-clock seconds (or a fixed seed) for seeding rand().
    virtual int64_t WallClockSeconds() = 0;

    // The view's OpenGL surface.
    virtual void MakeCurrent() = 0;
    virtual void FlushBuffer() = 0;
    // Whether the buffer drawn into keeps its pixels from one flush to the
    // next, so that a frame may repaint only what changed and present that
    // with FlushDamage. Hosts that cannot keep them say false, and every
    // frame is drawn whole and shown with FlushBuffer.
    virtual bool KeepsPixels() { return false; }
    // Shows the rectangles of the frame that changed (view pixels,
    // bottom-up); the rest of the view keeps what it showed.
    virtual void FlushDamage(const std::vector<ViewRect>& /*rects*/) { FlushBuffer(); }
    virtual void ResizeSurface(double width, double height) = 0;

    virtual ViewSize Bounds() = 0;
    virtual bool IsPreview() = 0;
    // Two views are on the same screen when these numbers are equal.
    virtual int ScreenNumber() = 0;
    virtual int MainScreenNumber() = 0;
    // The name the system gives the view's screen (as "HDMI-1"), and the names
    // of every screen present; empty where screens have no names.
    virtual std::string ScreenName() { return {}; }
    virtual std::vector<std::string> ScreenNames() { return {}; }

    // The folder holding the resource packs (with or without a final "/").
    virtual std::string ResourcesPath() = 0;
    // The desktop picture of the view's screen; empty when there is none.
    virtual std::string DesktopPicturePath() = 0;
    // The main display as top-down rows of R, G, B bytes; false when the
    // display cannot be captured.
    virtual bool CaptureMainDisplay(std::vector<unsigned char>* rgb, int* width, int* height) = 0;

    // Opens the preferences of a module; never null.
    virtual std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) = 0;

    // Stops the timer that drives this view's frames.
    virtual void StopAnimationTimer() = 0;
    // Starts it again, for a view whose screen is chosen anew.
    virtual void RestartAnimationTimer() {}

    // Where the herd reports births, camera modes and its counts (--verbose);
    // null for no report. The stream stays open while the view lives.
    virtual std::FILE* EventLog() { return nullptr; }
};
