// LarkspurView: creation, the frame loop, scene setup and teardown.
#include "view/LarkspurView.h"

#include "maths/Misc.h"
#include "resources/Pics.h"
#include "view/DesktopCapture.h"
#include "view/MonitorChoice.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

const char* const kFallbackBackground = "/Library/Desktop Pictures/Aqua Blue.jpg";
const char* const kSystemBackground = "/usr/share/images/desktop-base/default";
const char* const kOwnGroundPicture = "meadow.jpg";

namespace {

// A picture the user chose that cannot be shown, or a scene pack that cannot
// be loaded, is worth one line on stderr, once per process however many views
// ask for it. A picture's name comes from the settings or the desktop's, and
// is printed escaped.
void TellOnce(const std::string& text)
{
    static std::set<std::string> told;
    if (told.insert(text).second)
        std::fprintf(stderr, "larkspur: %s\n", PrintableText(text).c_str());
}

// The settings a view runs with, for a person checking where they came from.
void ReportSettings(std::FILE* log, const SETTINGS& s, bool mainMonitorOnly)
{
    if (!log)
        return;
    std::fprintf(log,
                 "larkspur: settings: NumDogs=%lld DogSize=%lld NumFootprints=%lld BGType=%d BGRes=%d TileBG=%s "
                 "MainMonitorOnly=%s BGPath=%s\n",
                 (long long)s.NUM_DOGS, (long long)s.LDOGSIZE, (long long)s.NUM_FOOTPRINTS, int(s.BGTYPE), int(s.BGRES),
                 s.TILEBG ? "true" : "false", mainMonitorOnly ? "true" : "false", PrintableText(s.BGPath).c_str());
}

} // namespace

LarkspurView::LarkspurView(HostServices* host, const SettingsOverrides& overrides) : host_(host)
{
    const std::unique_ptr<PreferencesStore> store = host_->OpenPreferences(kPreferencesModule);
    viewAllocated = true;
    glReady = false;
    LoadSettings(store.get(), &mySettings, &MainMonitorOnly);
    overrides.Apply(&mySettings, &MainMonitorOnly);
    ReportSettings(host_->EventLog(), mySettings, MainMonitorOnly);

    Scrn = host_->Bounds();
    ThisScreenIsOn = true;
    initialized = false;

    if (mySettings.BGTYPE == 0) {
        DeskTex.texID = 0;
        captureDesktop(host_, &DeskTex.texID, BackgroundDetail());
        // No capture: this view shows the desktop picture instead; the stored
        // preference stays as it is.
        if (DeskTex.texID == 0)
            mySettings.BGTYPE = 1;
    }
}

LarkspurView::~LarkspurView()
{
    // Texture deletions must reach this view's context.
    host_->MakeCurrent();
    if (ssMain) {
        ssMain->Cleanup();
        ssMain.reset();
    }
}

int LarkspurView::BackgroundDetail()
{
    return host_->IsPreview() ? 0 : mySettings.BGRES;
}

bool LarkspurView::ScreenChosen()
{
    const std::vector<std::string> listed = SplitMonitorNames(mySettings.MonitorNames);
    const std::vector<std::string> present = host_->ScreenNames();
    if (!listed.empty() && !AnyMonitorPresent(listed, present))
        SayNoneListedIsPresent(present);
    return MonitorShowsHerd(listed, MainMonitorOnly, host_->ScreenName(),
                            host_->ScreenNumber() == host_->MainScreenNumber(), present);
}

void LarkspurView::SayNoneListedIsPresent(const std::vector<std::string>& present)
{
    std::string names;
    for (const std::string& name : present)
        if (!name.empty())
            names += (names.empty() ? "" : ", ") + name;
    // Where screens have no names (headless, a made-up layout) a list cannot
    // apply, and saying so on every run would only be noise.
    if (!names.empty())
        TellOnce("none of the monitors " + mySettings.MonitorNames + " is present (there are " + names +
                 "); the herd shows on " + (MainMonitorOnly ? "the main monitor" : "every monitor"));
}

void LarkspurView::ClearToBlack()
{
    host_->MakeCurrent();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    host_->FlushBuffer();
}

void LarkspurView::startAnimation()
{
    ThisScreenIsOn = ScreenChosen();
    // Every view, drawing or not, starts as an opaque black screen.
    ClearToBlack();
}

void LarkspurView::screensChanged()
{
    const bool chosen = ScreenChosen();
    if (chosen == ThisScreenIsOn)
        return;
    ThisScreenIsOn = chosen;
    if (chosen) {
        // Its GL state is set afresh, and the pause is not fed to the scene.
        glReady = false;
        animtime = host_->SteadySeconds();
        host_->RestartAnimationTimer();
        return;
    }
    host_->StopAnimationTimer();
    ClearToBlack();
}

void LarkspurView::stopAnimation()
{
    host_->StopAnimationTimer();
}

void LarkspurView::setFrameSize(double width, double height)
{
    if (viewAllocated)
        host_->ResizeSurface(width, height);
    glReady = false;
}

void LarkspurView::animateOneFrame()
{
    if (!ThisScreenIsOn) {
        stopAnimation();
        return;
    }
    host_->MakeCurrent();
    if (!glReady) {
        glInit();
        glReady = true;
    }
    if (!initialized) {
        mainSetup();
        initialized = true;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    const double gap = host_->SteadySeconds() - animtime;
    if (gap > kLongestGap) {
        // A long pause is never fed to the scene as one step.
        animtime = host_->SteadySeconds();
        return;
    }
    if (gap > kShortestGap) {
        animtime = host_->SteadySeconds();
        // The scene clears what it needs itself; clearing twice costs a
        // pass over every pixel.
        if (!ssMain)
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (ssMain)
            ssMain->Update(gap);
        glReshape();
        // A buffer that keeps the last frame needs only what changed repainted.
        const bool keeps = ssMain && host_->KeepsPixels();
        if (ssMain)
            ssMain->Draw(keeps);
        if (keeps)
            host_->FlushDamage(ssMain->damage.Rects());
        else
            host_->FlushBuffer();
    }
    // A shorter gap keeps animtime, so the next drawn step is the whole gap.
}

bool LarkspurView::mainSetup()
{
    const ViewSize rect = host_->Bounds();
    std::srand(unsigned(host_->WallClockSeconds()));

    if (ssMain) {
        ssMain->Cleanup();
        ssMain.reset();
    }
    ssMain.reset(new (std::nothrow) SSMAIN);
    if (!ssMain)
        return false;

    std::string folder = host_->ResourcesPath();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    const int width = int(rect.width);
    const int height = int(rect.height);
    // A folder too long for the scene's buffer is refused, not cut short.
    const bool fits = folder.size() < kResourcePathBytes;
    if (!fits || !ssMain->Setup(host_->IsPreview(), width, height, &mySettings, folder.c_str())) {
        TellOnce("the scene pack " + folder + kScenePackName + " cannot be loaded (" +
                 (fits ? ssMain->failure : "the path of its folder is too long") + "); the frames stay black");
        // A scene without its pictures would draw nothing useful: drop it, so
        // every later frame is just the cleared surface.
        ssMain->Cleanup();
        ssMain.reset();
        return false;
    }

    if (ssMain->herd)
        ssMain->herd->log.out = host_->EventLog();
    LoadBackground(folder);
    ssMain->bgTexture = DeskTex.texID;
    DeskTex.texID = 0;
    animtime = host_->SteadySeconds();
    return true;
}

void LarkspurView::LoadBackground(const std::string& resources)
{
    const int detail = BackgroundDetail();
    const std::string ownGround = resources + kOwnGroundPicture;
    std::string why;
    if (mySettings.BGTYPE == 1) {
        // No path means no desktop picture was found; the host has said why.
        const std::string picture = host_->DesktopPicturePath();
        if (!picture.empty() && !loadPicFile(picture.c_str(), &DeskTex, detail, &why))
            TellOnce("the desktop picture " + picture + " is skipped (" + why +
                     "); the ground shows Larkspur's own picture");
        if (DeskTex.texID == 0 && !loadPicFile(ownGround.c_str(), &DeskTex, detail, &why))
            TellOnce("Larkspur's own ground picture " + ownGround + " cannot be shown either (" + why +
                     "); the ground shows no picture");
    } else if (mySettings.BGTYPE == 2) {
        const char* const fallbacks[] = {kFallbackBackground, kSystemBackground, ownGround.c_str(), nullptr};
        std::string shown;
        LoadFolderBackground(mySettings.BGPath, fallbacks, &DeskTex, detail, &why, &shown);
        if (!why.empty())
            TellOnce("the picture folder " + std::string(mySettings.BGPath) + " is skipped (" + why + "); " +
                     (shown.empty() ? "no fallback picture loads either, so the ground shows no picture"
                                    : "the ground shows " + shown + " instead"));
    }
    // Type 0 already holds the capture.
}

void LarkspurView::glInit()
{
    Scrn = host_->Bounds();
    const int width = int(Scrn.width);
    const int height = int(Scrn.height);
    glViewport(0, 0, width, height);
    // A context set up afresh (a new size, a screen chosen again) holds no
    // frame to build on.
    if (ssMain) {
        ssMain->SetSize(width, height);
        ssMain->RepaintWhole();
    }
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glReshape();
}

void LarkspurView::glReshape()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A view without a size keeps the identity rather than divide by zero.
    if (Scrn.width >= 1 && Scrn.height >= 1)
        gluPerspective(45.0, float(Scrn.width) / float(Scrn.height), 1.0, 120.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
