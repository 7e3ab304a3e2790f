// Benchmarks of whole drawn frames of the scene at 1280x720 over a textured,
// tiled ground, from the three kinds of viewpoint a run shows: home (straight
// down), roaming (tilted, the fogged tiles up to the horizon) and following
// one creature from close by. Each frame is drawn whole with nothing moving,
// so every iteration draws the same picture.
//
// Runs in the headless OpenGL context (Mesa's software renderer) with this
// build's generated packs.
#include "creatures/DogControl.h"
#include "host/Settings.h"
#include "platform/headless/HeadlessGL.h"
#include "scene/SSMain.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kResources = std::string(LARKSPUR_RESOURCES_DIR) + "/";
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
// Simulated time before measuring, in coarse steps, so that the herd has
// grown and laid prints.
constexpr double kWarmUpSeconds = 60.0;
constexpr double kWarmUpStep = 0.25;
constexpr int kGroundSide = 1024;

enum View { kHomeView, kTiltedView, kFollowView };

// A ground picture of soft noise, uploaded as the hosts upload theirs.
uint32_t MakeGround()
{
    std::vector<unsigned char> pixels(size_t(kGroundSide) * kGroundSide * 4);
    unsigned seed = 1;
    for (size_t i = 0; i < pixels.size(); i++) {
        seed = seed * 1103515245u + 12345u;
        pixels[i] = (i % 4 == 3) ? 255 : (unsigned char)(96 + ((seed >> 16) & 63));
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kGroundSide, kGroundSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return name;
}

// Holds the camera still at the view asked for; the modes' timers are pushed
// far away so nothing changes it while measuring.
void HoldCamera(DOGCONTROL* herd, View view)
{
    CAMERA& c = herd->camera;
    c.modeTimer = 1e9f;
    c.speed = c.targetSpeed = 0;
    c.spin = VECTOR3D(0, 0, 0);
    if (view == kHomeView)
        return;
    c.mode = view == kTiltedView ? CAMERA_SPIN : CAMERA_FOLLOW;
    c.up = c.targetUp = VECTOR3D(0, 1, 0);
    if (view == kTiltedView) {
        // The home eye tilted by 70 degrees about x (the spin tilts it by 20
        // to 79), looking at the origin.
        c.pos = c.targetPos = VECTOR3D(0, 13.68f, 37.59f);
        c.look = c.targetLook = VECTOR3D(0, 0, 0);
        return;
    }
    int followed = 0;
    for (int i = 0; i < herd->maxDogs; i++)
        if (herd->dogs[size_t(i)].action > 0)
            followed = i;
    c.followIndex = followed;
    const VECTOR3D p = herd->dogs[size_t(followed)].currentPos;
    c.pos = c.targetPos = VECTOR3D(p.x + 6.0f, p.y + 3.0f, p.z + 6.0f);
    c.look = c.targetLook = VECTOR3D(p.x, p.y + 1.0f, p.z);
}

void DrawFrames(benchmark::State& state, View view, int slots)
{
    HeadlessGL gl;
    std::string error;
    if (!gl.Create(kWidth, kHeight, &error)) {
        state.SkipWithError(("no headless OpenGL context: " + error).c_str());
        return;
    }
    std::srand(7);
    SETTINGS settings;
    settings.NUM_DOGS = slots;
    settings.NUM_FOOTPRINTS = kDefaultNumFootprints;
    settings.LDOGSIZE = kDefaultDogSize;
    settings.dogSize = float(kDefaultDogSize) / 100.0f;
    settings.TILEBG = true;
    auto scene = std::make_unique<SSMAIN>();
    if (!scene->Setup(false, kWidth, kHeight, &settings, kResources.c_str())) {
        state.SkipWithError("the scene cannot be set up from the scene pack");
        return;
    }
    scene->bgTexture = MakeGround();
    for (double t = 0; t < kWarmUpSeconds; t += kWarmUpStep) {
        if (scene->herd)
            scene->herd->camera.modeTimer = 1e9f;
        scene->Update(kWarmUpStep);
        scene->Draw();
    }
    if (!scene->herdReady) {
        state.SkipWithError("the herd was not set up");
        return;
    }
    HoldCamera(scene->herd.get(), view);
    scene->Update(0);
    // The renderer compiles its code for each new state on first use.
    for (int i = 0; i < 3; i++)
        scene->Draw();
    glFinish();
    for (auto _ : state) {
        scene->Draw();
        glFinish();
    }
    const HerdCounts c = scene->herd->Count();
    state.counters["in_play"] = double(c.travelling + c.idling);
    state.counters["drawn"] = double(scene->herd->drawnNow.size());
}

void BM_FrameHome(benchmark::State& state)
{
    DrawFrames(state, kHomeView, int(state.range(0)));
}
void BM_FrameTilted(benchmark::State& state)
{
    DrawFrames(state, kTiltedView, int(state.range(0)));
}
void BM_FrameFollowing(benchmark::State& state)
{
    DrawFrames(state, kFollowView, int(state.range(0)));
}
// The software renderer draws on its own threads, so the CPU time of the
// whole process is what a frame costs (the machine may be shared).
BENCHMARK(BM_FrameHome)->Arg(25)->Arg(500)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_FrameTilted)->Arg(25)->Arg(500)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_FrameFollowing)->Arg(25)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
