// SSMain: the scene's setup, frame and teardown, and the overlay.
#include "scene/SSMain.h"

#include "creatures/SceneSettings.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

const char* const kScenePackName = "pellmore.works";

namespace {

const GLfloat kLightAmbient[] = {0.0f, 0.0f, 0.0f, 0.0f};
const GLfloat kLightDiffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat kLightSpecular[] = {0.3f, 0.3f, 0.3f, 1.0f};
const GLfloat kLightStart[] = {0.0f, 45.0f, 0.0f, 1.0f};
const GLfloat kFogColour[] = {0.0f, 0.0f, 0.0f, 1.0f};

// The light sits this far above the camera's eye.
constexpr float kLightLift = 5.0f;
// Waits before a failed herd is set up again, in seconds.
constexpr double kHerdFirstRetry = 1.0;
constexpr double kHerdLongestRetry = 60.0;
// Tiles run from -kTileReach to kTileReach on both axes.
constexpr int kTileReach = 2;
// Ground this much nearer than the fog's start is untouched by it for
// certain, whatever rounding the renderer's fog takes.
constexpr double kFogStartMargin = 1.01;

// Banner and card timing, in seconds, and their layout in pixels or card units.
constexpr float kBannerShown = 20.0f;
constexpr float kBannerHidden = 30.0f;
constexpr float kBannerEdgeGap = 40.0f;
constexpr float kBannerBottomRest = 5.0f;
constexpr float kBadgeWidth = 256.0f;
constexpr float kCaptionWidth = 512.0f;
constexpr float kBannerHeight = 32.0f;
constexpr float kCardHold = -20.0f;
constexpr float kCardCountdown = 40.0f;
constexpr double kCardFadeRate = 0.5;
constexpr float kCardWidth = 1024.0f;
constexpr float kCardHeight = 768.0f;
constexpr float kCardCaptionY = 352.0f;
constexpr float kCardCaptionHeight = 64.0f;

// A w x h quad from the origin, the picture upright (t = 0 at the bottom).
void TexturedQuad(float w, float h)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(w, 0);
    glTexCoord2f(1, 1);
    glVertex2f(w, h);
    glTexCoord2f(0, 1);
    glVertex2f(0, h);
    glEnd();
}

} // namespace

bool LoadScenePictures(const char* path, Texture** textures, int* count, std::string* why)
{
    if (!LoadTexturesFromDataFile(path, textures, count, why))
        return false;
    // The scene draws pictures by number, so a short pack is no pack.
    if (*count >= kSceneTextureCount)
        return true;
    *why = "it holds " + std::to_string(*count) + (*count == 1 ? " lump" : " lumps") + ", and the scene needs " +
           std::to_string(int(kSceneTextureCount));
    return false;
}

bool SSMAIN::Setup(bool preview, int viewWidth, int viewHeight, SETTINGS* viewSettings, const char* resources)
{
    isPreview = preview;
    // A scene set up again builds its herd and fog anew.
    herdReady = false;
    fogReady = false;
    herdRetryIn = 0;
    herdRetryWait = 0;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    if (herd) {
        herd->Cleanup();
        herd.reset();
    }
    failure.clear();
    herd.reset(new (std::nothrow) DOGCONTROL);
    if (!herd) {
        failure = "out of memory";
        return false;
    }

    ReleaseTextures();
    const std::string pack = std::string(resources ? resources : "") + kScenePackName;
    if (!LoadScenePictures(pack.c_str(), &textures, &numTextures, &failure)) {
        ReleaseTextures();
        return false;
    }

    width = viewWidth;
    height = viewHeight;

    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightStart);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glCullFace(GL_BACK);

    std::snprintf(resourcePath, sizeof resourcePath, "%s", resources ? resources : "");
    settings = viewSettings;
    return true;
}

void SSMAIN::SetSize(int viewWidth, int viewHeight)
{
    width = viewWidth;
    height = viewHeight;
}

void SSMAIN::ReshapeAndZoom(float zoom)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A view without a size has no aspect ratio; it keeps the identity.
    if (width > 0 && height > 0)
        gluPerspective(zoom * 45.0f, float(width) / float(height), 0.5, 3000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void SSMAIN::SetupFog(DOGCONTROL* fogHerd)
{
    fogReady = true;
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, kFogColour);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    const float reach = std::min(fogHerd->bounds.x, fogHerd->bounds.z);
    glFogf(GL_FOG_START, reach * 4.0f);
    glFogf(GL_FOG_END, reach * 5.5f);
}

void SSMAIN::Update(double dt)
{
    frameTime = dt;
}

void SSMAIN::Draw(bool onlyChanges)
{
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    damage.Start(width, height);
    // Until the view has a size there is nothing to see and no ground to
    // measure: the bounds would come from a division by zero.
    if (width <= 0 || height <= 0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        damage.AddWhole();
        repaintWhole = true;
        return;
    }
    ReshapeAndZoom(1.0f);
    // A scene whose Setup failed has no pictures to draw with.
    if (!herd || !HasSceneTextures()) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        damage.AddWhole();
        repaintWhole = true;
        return;
    }

    if (!herdReady && herd->boundsKnown)
        SetupHerdWhenDue();
    herd->GetBounds();
    herd->camera.Move(herd.get(), frameTime);
    const VECTOR3D eye = herd->camera.pos;
    const GLfloat light[] = {eye.x, eye.y + kLightLift, eye.z, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    herd->frustum.ExtractFrustumFaster();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);

    const bool seenFromHome = SeenFromHome();
    const bool tiled = settings && settings->TILEBG;
    if (tiled && !fogReady && herd->boundsKnown)
        SetupFog(herd.get());
    fogOn = fogReady && !(seenFromHome && FogOutOfSightFromHome());

    // Everything moves before anything is drawn, so that the damage is known
    // when the first pixel is; the order of the random draws is kept.
    if (herdReady) {
        herd->Move(frameTime);
        herd->AdvanceEffects(frameTime);
        herd->ListDrawn();
    }
    if (OverlayShown()) {
        AdvanceBanner(frameTime);
        cardShows = AdvanceCard(frameTime);
    }

    FindDamage(onlyChanges, seenFromHome);
    const std::vector<ViewRect>& rects = damage.Rects();
    for (size_t i = 0; i < rects.size(); i++) {
        // Each pass starts from the frame's own matrices.
        if (i > 0) {
            glMatrixMode(GL_PROJECTION);
            glLoadMatrixd(projection);
            glMatrixMode(GL_MODELVIEW);
            glLoadMatrixd(modelview);
        }
        if (!damage.Whole()) {
            glScissor(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
            glEnable(GL_SCISSOR_TEST);
        }
        passRect = rects[i];
        Paint(seenFromHome);
    }
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_TEXTURE_2D);
}

void SSMAIN::Paint(bool seenFromHome)
{
    // Clearing is the renderer's work for every pixel, so the colour is
    // left alone when the ground is about to cover the whole view.
    glClear(seenFromHome ? GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glEnable(GL_CULL_FACE);
    glColor4f(1, 1, 1, 1);

    // The ground neither tests nor writes depth, so it hides nothing, and
    // its tiles do not overlap, so the order they are drawn in changes no
    // pixel: those the fog leaves unchanged go first, without it, since fog
    // is much of the renderer's work for every pixel of the ground.
    glDisable(GL_DEPTH_TEST);
    glNormal3f(0, 1, 0);
    glBindTexture(GL_TEXTURE_2D, bgTexture);
    const double clearOfFog = !fogOn ? kClearEverywhere : fogEveryTile ? 0 : DepthClearOfFog();
    glBegin(GL_QUADS);
    groundTilesClearOfFog = DrawGround(clearOfFog, true);
    glEnd();
    if (fogOn) {
        glEnable(GL_FOG);
        glBegin(GL_QUADS);
        DrawGround(clearOfFog, false);
        glEnd();
        glDisable(GL_FOG);
    }
    glEnable(GL_DEPTH_TEST);

    if (herdReady) {
        glPushMatrix();
        // A creature wholly outside the pass's rectangle would only cost.
        const auto inPass = [this](const WorldSphere& s) {
            ViewRect r;
            return damage.Whole() || !damage.SphereRect(s, &r) || Overlap(r, passRect);
        };
        herd->DrawCreatures(inPass);
        herd->DrawEffects();
        glPopMatrix();
    }
    glDisable(GL_CULL_FACE);
    if (OverlayShown())
        DrawOverlay();
}

// The preview is too small for the overlay, and the user may not want it.
bool SSMAIN::OverlayShown() const
{
    return !isPreview && !(settings && !settings->SHOWOVERLAY);
}

void SSMAIN::FindDamage(bool onlyChanges, bool seenFromHome)
{
    Shown now;
    std::copy(modelview, modelview + 16, now.modelview);
    std::copy(projection, projection + 16, now.projection);
    now.width = width;
    now.height = height;
    now.seenFromHome = seenFromHome;
    now.fog = fogOn;
    now.herdReady = herdReady;
    now.bgTexture = bgTexture;
    now.cardAlpha = cardAlpha;
    now.bannerPos = bannerPos;
    now.captionIndex = captionIndex;

    // A new viewpoint, view size, ground or veil changes every pixel.
    const bool sameView = std::equal(modelview, modelview + 16, shown.modelview) &&
                          std::equal(projection, projection + 16, shown.projection) && width == shown.width &&
                          height == shown.height && seenFromHome == shown.seenFromHome && fogOn == shown.fog &&
                          herdReady == shown.herdReady && bgTexture == shown.bgTexture && cardAlpha == shown.cardAlpha;
    damage.SetMatrices(modelview, projection);
    if (!onlyChanges || repaintWhole || !sameView || herd->changesOverflowed) {
        damage.AddWhole();
    } else {
        for (const WorldSphere& s : herd->changed)
            damage.AddSphere(s);
        for (const WorldSphere& s : herd->drawnNow)
            damage.AddSphere(s);
        for (const WorldSphere& s : herd->drawnLast)
            damage.AddSphere(s);
        if (OverlayShown() && (bannerPos.x != shown.bannerPos.x || bannerPos.y != shown.bannerPos.y ||
                               captionIndex != shown.captionIndex)) {
            AddBannerRects(shown.bannerPos);
            AddBannerRects(bannerPos);
        }
    }
    herd->ForgetChanges();
    shown = now;
    repaintWhole = false;
}

void SSMAIN::AddBannerRects(point2d pos)
{
    // The badge at pos and the caption centred, both one banner high.
    const float lefts[2] = {pos.x, float(width) * 0.5f - kBadgeWidth};
    const float widths[2] = {kBadgeWidth, kCaptionWidth};
    for (int k = 0; k < 2; k++) {
        const int x0 = int(std::floor(lefts[k])) - 2, y0 = int(std::floor(pos.y)) - 2;
        const int x1 = int(std::ceil(lefts[k] + widths[k])) + 2, y1 = int(std::ceil(pos.y + kBannerHeight)) + 2;
        damage.Add(ViewRect{x0, y0, x1 - x0, y1 - y0});
    }
}

void SSMAIN::SetupHerdWhenDue()
{
    herdRetryIn -= frameTime;
    if (herdRetryIn > 0)
        return;
    herd->footprintTexture = textures[kFootprintTexture].texID;
    herd->sparkTexture = textures[kSparkTexture].texID;
    const bool firstTry = herdRetryWait == 0;
    {
        const AlertMute quietRetry(!firstTry);
        herdReady = herd->Setup(settings, resourcePath);
    }
    if (herdReady) {
        herdRetryWait = 0;
        return;
    }
    herdRetryWait = firstTry ? kHerdFirstRetry : std::min(herdRetryWait * 2.0, kHerdLongestRetry);
    herdRetryIn = herdRetryWait;
    // The loaders' own reason, told once with ours.
    if (firstTry)
        MessageBox(nullptr,
                   ("The creatures could not be set up from " + std::string(resourcePath) + kCreaturePackName + " (" +
                    herd->failure + "); trying again now and then.")
                       .c_str(),
                   "Larkspur", 0);
}

bool SSMAIN::SeenFromHome() const
{
    // Settled home, the eye looks straight down from the height the ground
    // was measured at; the tiles reach two grounds beyond every edge, which
    // covers the view unless it has since grown more than five times as wide
    // for its height.
    const CAMERA& c = herd->camera;
    if (!(settings && settings->TILEBG && herd->boundsKnown && c.mode == CAMERA_HOME && c.homeDelay < 0 &&
          c.pos.x == 0 && c.pos.z == 0 && c.pos.y == kCameraHomeHeight && c.up.z == -1.0f))
        return false;
    double halfWidth = 0, halfDepth = 0;
    HomeViewReach(&halfWidth, &halfDepth);
    const double tiles = 2 * kTileReach + 1;
    return halfWidth <= tiles * double(herd->bounds.x) && halfDepth <= tiles * double(herd->bounds.z);
}

void SSMAIN::HomeViewReach(double* halfWidth, double* halfDepth) const
{
    // The ground is measured once, at the size of the first frames. The
    // depth seen from home depends on the field of view alone, so it is
    // still the measured one; the width follows the view's current shape.
    // A look point still easing home shifts what is seen by up to its
    // distance from the origin.
    const double lookAway = std::fabs(double(herd->camera.look.x)) + std::fabs(double(herd->camera.look.z));
    const double depth = herd->bounds.z;
    *halfWidth = depth * double(width) / double(height) + lookAway;
    *halfDepth = depth + lookAway;
}

bool SSMAIN::FogOutOfSightFromHome() const
{
    // The farthest ground seen from home is a corner of the view; nearer
    // than where the fog starts, fog changes no pixel and only costs.
    double halfWidth = 0, halfDepth = 0;
    HomeViewReach(&halfWidth, &halfDepth);
    const double reach = std::min(double(herd->bounds.x), double(herd->bounds.z)) * 4.0;
    const double h = kCameraHomeHeight;
    const double farthest = std::sqrt(h * h + halfWidth * halfWidth + halfDepth * halfDepth);
    return farthest < reach * 0.95;
}

double SSMAIN::DepthClearOfFog() const
{
    // Linear fog leaves alone all that is nearer than its start. The state
    // is read back, not assumed, so whoever set it last is followed.
    GLint mode = 0;
    GLfloat start = 0, end = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    if (mode != GL_LINEAR || !(start > 0) || !(start < end))
        return 0;
    return double(start) / kFogStartMargin;
}

bool SSMAIN::TileClearOfFog(float x0, float z0, float x1, float z1, double clearDepth) const
{
    // The eye's depth is linear over the flat tile, so its extremes are at
    // the corners; all of them in front of the eye and nearer than the fog,
    // no pixel of the tile is fogged however the renderer interpolates.
    if (clearDepth >= kClearEverywhere)
        return true;
    const float xs[2] = {x0, x1}, zs[2] = {z0, z1};
    for (const float x : xs)
        for (const float z : zs) {
            const double depth = -(modelview[2] * double(x) + modelview[10] * double(z) + modelview[14]);
            if (!(depth > 0 && depth < clearDepth))
                return false;
        }
    return true;
}

int SSMAIN::DrawGround(double clearDepth, bool clearOnes) const
{
    int drawn = 0;
    const float bx = herd->bounds.x;
    const float bz = herd->bounds.z;
    const bool tiled = settings && settings->TILEBG;
    const int reach = tiled ? kTileReach : 0;
    // Counter-clockwise seen from above, so culling keeps them; t = 1 lies
    // toward -z, which is screen-up from the home view.
    for (int i = -reach; i <= reach; i++) {
        for (int j = -reach; j <= reach; j++) {
            const float xo = float(i) * 2.0f * bx;
            const float zo = float(j) * 2.0f * bz;
            if (TileClearOfFog(xo - bx, zo - bz, xo + bx, zo + bz, clearDepth) != clearOnes)
                continue;
            drawn++;
            glTexCoord2f(0, 0);
            glVertex3f(xo - bx, 0, zo + bz);
            glTexCoord2f(1, 0);
            glVertex3f(xo + bx, 0, zo + bz);
            glTexCoord2f(1, 1);
            glVertex3f(xo + bx, 0, zo - bz);
            glTexCoord2f(0, 1);
            glVertex3f(xo - bx, 0, zo - bz);
        }
    }
    return drawn;
}

void SSMAIN::DoOverlay()
{
    if (!HasSceneTextures())
        return;
    AdvanceBanner(frameTime);
    cardShows = AdvanceCard(frameTime);
    DrawOverlay();
}

void SSMAIN::DrawOverlay() const
{
    // Pixel space over the whole view.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    glNormal3f(0, 0, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    DrawBanner();
    glDisable(GL_BLEND);

    // From here on the card's 1024 x 768 units cover the view.
    glScalef(float(width) * 0.0009765625f, float(height) / 768.0f, 1);
    if (cardShows)
        DrawCard();
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void SSMAIN::AdvanceBanner(double dt)
{
    bannerTimer = float(double(bannerTimer) - dt);
    if (bannerTimer < 0) {
        bannerTimer = kBannerHidden;
        if (!bannerOn) {
            captionIndex = uint32_t(std::rand() % 2 + kFirstCaptionTexture);
            bannerPos.x = std::rand() % 2 != 0 ? float(width) - kBadgeWidth : 0.0f;
            bannerFromTop = !bannerFromTop;
            bannerPos.y = bannerFromTop ? float(height) + kBannerEdgeGap : -kBannerEdgeGap;
            bannerTimer = kBannerShown;
        }
        bannerOn = !bannerOn;
    }
    double target;
    if (bannerOn)
        target = bannerFromTop ? double(height) - kBannerEdgeGap : kBannerBottomRest;
    else
        target = bannerFromTop ? double(height) + kBannerEdgeGap : -kBannerEdgeGap;
    bannerPos.y = float(double(bannerPos.y) + (target - double(bannerPos.y)) * dt);
}

bool SSMAIN::AdvanceCard(double dt)
{
    cardTimer = float(double(cardTimer) - dt);
    if (cardTimer < 0) {
        cardAlpha = cardAlpha < 1.0f ? float(double(cardAlpha) + dt * kCardFadeRate) : 1.0f;
        if (cardTimer < kCardHold)
            cardTimer = kCardCountdown;
    } else if (cardAlpha > 0) {
        // The last step of a fade may leave it below 0 for one frame.
        cardAlpha = float(double(cardAlpha) - dt * kCardFadeRate);
    } else {
        cardAlpha = 0;
    }
    return cardAlpha > 0;
}

void SSMAIN::DrawBanner() const
{
    glPushMatrix();
    glTranslatef(bannerPos.x, bannerPos.y, 0);
    glBindTexture(GL_TEXTURE_2D, textures[kBadgeTexture].texID);
    TexturedQuad(kBadgeWidth, kBannerHeight);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(float(width) * 0.5f - kBadgeWidth, bannerPos.y, 0);
    glBindTexture(GL_TEXTURE_2D, textures[captionIndex].texID);
    TexturedQuad(kCaptionWidth, kBannerHeight);
    glPopMatrix();
}

void SSMAIN::DrawCard() const
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    // The veil darkens the whole scene.
    glColor4f(0, 0, 0, cardAlpha);
    glDisable(GL_TEXTURE_2D);
    TexturedQuad(kCardWidth, kCardHeight);
    glEnable(GL_TEXTURE_2D);

    glColor4f(1, 1, 1, cardAlpha);
    glPushMatrix();
    glTranslatef(0, kCardCaptionY, 0);
    glBindTexture(GL_TEXTURE_2D, textures[captionIndex].texID);
    TexturedQuad(kCardWidth, kCardCaptionHeight);
    glPopMatrix();
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

void SSMAIN::ReleaseTextures()
{
    // delete[] destroys the last texture first.
    delete[] textures;
    textures = nullptr;
    numTextures = 0;
}

void SSMAIN::Cleanup()
{
    if (herd) {
        herd->Cleanup();
        herd.reset();
    }
    ReleaseTextures();
    if (bgTexture != 0) {
        const GLuint name = bgTexture;
        glDeleteTextures(1, &name);
    }
    bgTexture = 0;
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_CULL_FACE);
    glDisable(GL_NORMALIZE);
}
