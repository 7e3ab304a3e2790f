// SSMain: one view's scene (SSMAIN): projection, light, fog, the textured
// ground, the herd, and the timed overlay of banner and card drawn on top.
//
// The scene owns the pack's textures, the herd and the background texture.
// Every call needs the view's OpenGL context current. A scene whose pack had
// fewer than kSceneTextureCount pictures fails Setup, and a scene that is not
// set up never reads its texture array. A view without a size (width or
// height 0) draws nothing and measures no ground until it has one.
#pragma once

#include "creatures/DogControl.h"
#include "maths/Misc.h"
#include "resources/Texture.h"
#include "scene/Damage.h"

#include <cstdint>
#include <memory>
#include <string>

class SETTINGS;

// Pictures of the scene pack that the scene uses by number.
enum {
    kBadgeTexture = 1,
    kFirstCaptionTexture = 4,
    kFootprintTexture = 6,
    kSparkTexture = 7,
    kSceneTextureCount = 8,
};
enum { kResourcePathBytes = 1024 };

extern const char* const kScenePackName;

// Loads the scene pack's pictures as the scene does, refusing a pack of fewer
// than kSceneTextureCount; on failure *why says why (larkspur-pack checks
// packs with it). What was built is handed over as LoadTexturesFromDataFile
// does.
bool LoadScenePictures(const char* path, Texture** textures, int* count, std::string* why);

class SSMAIN {
public:
    SSMAIN() = default;
    ~SSMAIN() { Cleanup(); }
    SSMAIN(const SSMAIN&) = delete;
    SSMAIN& operator=(const SSMAIN&) = delete;

    // resourcePath ends in "/". False when the herd cannot be created or the
    // scene pack cannot be loaded or holds too few pictures; failure says why.
    bool Setup(bool isPreview, int width, int height, SETTINGS* settings, const char* resourcePath);
    void SetSize(int width, int height);
    // Viewport and perspective projection; leaves the model-view selected.
    void ReshapeAndZoom(float zoom);
    void SetupFog(DOGCONTROL* herd);
    // Records the frame's step in seconds; nothing moves here.
    void Update(double dt);
    // One frame; the caller has cleared the buffers and flushes afterwards.
    // With onlyChanges, the buffer still holding the last frame, only the
    // rectangles of damage are repainted (each with the scissor set to it),
    // and the pixels come out as a whole repaint would draw them; without
    // it damage is the whole view.
    void Draw(bool onlyChanges = false);
    // The next frame repaints the whole view: the buffer lost its pixels.
    void RepaintWhole() { repaintWhole = true; }
    // The banner and card on top of the frame, timed by frameTime.
    void DoOverlay();
    bool OverlayShown() const;
    // Releases everything the scene owns; safe to run more than once.
    void Cleanup();

    double frameTime = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool isPreview = false;
    float bannerTimer = 90.0f;
    bool bannerOn = false;
    bool bannerFromTop = false;
    point2d bannerPos{-256.0f, -35.0f};
    uint32_t captionIndex = 5;
    float cardTimer = 60.0f;
    float cardAlpha = 0;
    bool fogReady = false;
    int32_t numTextures = 0;
    // One per lump of the scene pack, from new[].
    Texture* textures = nullptr;
    std::unique_ptr<DOGCONTROL> herd;
    char resourcePath[kResourcePathBytes] = {};
    bool herdReady = false;
    // A herd that failed to set up is tried again after herdRetryIn seconds
    // of frames, the wait doubling from 1 s up to a minute, so a broken pack
    // costs almost nothing all night; its alerts are shown on the first try only.
    double herdRetryIn = 0;
    double herdRetryWait = 0;
    SETTINGS* settings = nullptr;
    // OpenGL name of the ground picture, owned; 0 for none.
    uint32_t bgTexture = 0;
    // Why the last Setup failed; empty after a success.
    std::string failure;
    // What the last Draw repainted.
    Damage damage;
    // Tiles of the ground the last pass drew without fog, since it changed
    // none of their pixels; with fogEveryTile set, none are (the pixels
    // are the same).
    int groundTilesClearOfFog = 0;
    bool fogEveryTile = false;
    bool repaintWhole = true;

private:
    bool HasSceneTextures() const { return textures && numTextures >= kSceneTextureCount; }
    void ReleaseTextures();
    void SetupHerdWhenDue();
    // Whether the camera has settled home over a tiled ground that covers
    // the whole view at its current size.
    bool SeenFromHome() const;
    // The half-width and half-depth of the ground seen from home at the
    // view's current size.
    void HomeViewReach(double* halfWidth, double* halfDepth) const;
    // Whether, seen from home, all the ground in view lies nearer than the fog.
    bool FogOutOfSightFromHome() const;
    // The eye depth nearer than which the fog changes no pixel; 0 when it
    // may change any.
    double DepthClearOfFog() const;
    static constexpr double kClearEverywhere = 1e300;
    // Whether the tile from (x0, z0) to (x1, z1) lies wholly in front of the
    // eye and nearer than clearDepth.
    bool TileClearOfFog(float x0, float z0, float x1, float z1, double clearDepth) const;
    // The ground's tiles that are clear of the fog (clearOnes) or the
    // others; returns how many it drew.
    int DrawGround(double clearDepth, bool clearOnes) const;
    // Everything a frame draws, over what the scissor lets through.
    void Paint(bool seenFromHome);
    // Fills damage from what changed since the last frame.
    void FindDamage(bool onlyChanges, bool seenFromHome);
    void DrawOverlay() const;
    void AdvanceBanner(double dt);
    // Returns whether the card shows.
    bool AdvanceCard(double dt);
    void DrawBanner() const;
    void DrawCard() const;
    // The banner's two quads in view pixels.
    void AddBannerRects(point2d pos);

    // The frame's view matrices, and what the last frame was drawn with.
    double modelview[16] = {};
    double projection[16] = {};
    struct Shown {
        double modelview[16] = {};
        double projection[16] = {};
        int width = 0, height = 0;
        bool seenFromHome = false, fog = false, herdReady = false;
        uint32_t bgTexture = 0;
        float cardAlpha = 0;
        point2d bannerPos{0, 0};
        uint32_t captionIndex = 0;
    } shown;
    bool cardShows = false;
    bool fogOn = false;
    // The rectangle being repainted.
    ViewRect passRect;
};
