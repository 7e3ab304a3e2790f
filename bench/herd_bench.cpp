// Benchmarks of the herd: one herd step (behaviour, animation and skinning
// of every creature in play, nothing drawn) for herds of 25 to 1600 slots,
// and one whole drawn frame of the scene at 1280x720, each after a few
// simulated minutes so that births have filled the herd.
//
// Runs in the headless OpenGL context (Mesa's software renderer) with this
// build's generated packs.
#include "creatures/DogControl.h"
#include "platform/headless/HeadlessGL.h"
#include "scene/SSMain.h"
#include "view/Settings.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

const std::string kResources = std::string(LARKSPUR_RESOURCES_DIR) + "/";
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
// Simulated time before measuring, in coarse steps.
constexpr double kWarmUpSeconds = 180.0;
constexpr double kWarmUpStep = 0.25;

SETTINGS DefaultSettings(int numDogs)
{
    SETTINGS s;
    s.NUM_DOGS = numDogs;
    s.NUM_FOOTPRINTS = kDefaultNumFootprints;
    s.LDOGSIZE = kDefaultDogSize;
    s.dogSize = float(kDefaultDogSize) / 100.0f;
    s.TILEBG = kDefaultTileBG;
    return s;
}

bool MakeContext(HeadlessGL* gl, benchmark::State& state)
{
    std::string error;
    if (gl->Create(kWidth, kHeight, &error))
        return true;
    state.SkipWithError(("no headless OpenGL context: " + error).c_str());
    return false;
}

// The scene's projection and the camera's view, with the frustum taken from
// them, as a drawn frame would leave it.
void ApplyView(DOGCONTROL* herd)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(float(kWidth) / float(kHeight)), 0.5, 3000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    herd->GetBounds();
    herd->camera.Move(herd, 0);
    herd->frustum.ExtractFrustumFaster();
}

// A herd of the given slots set up from this build's creature pack with the
// seed every run here uses; null, with the benchmark skipped, when it fails.
std::unique_ptr<DOGCONTROL> MakeHerd(int slots, benchmark::State& state)
{
    std::srand(7);
    SETTINGS settings = DefaultSettings(slots);
    auto herd = std::make_unique<DOGCONTROL>();
    ApplyView(herd.get());
    if (herd->Setup(&settings, kResources.c_str()))
        return herd;
    state.SkipWithError("the herd cannot be set up from the creature pack");
    return nullptr;
}

void BM_HerdStep(benchmark::State& state)
{
    HeadlessGL gl;
    if (!MakeContext(&gl, state))
        return;
    auto herd = MakeHerd(int(state.range(0)), state);
    if (!herd)
        return;
    for (double t = 0; t < kWarmUpSeconds; t += kWarmUpStep) {
        herd->Move(kWarmUpStep);
        herd->DrawSparks(kWarmUpStep);
    }
    for (auto _ : state)
        herd->Move(0.025);
    const HerdCounts c = herd->Count();
    state.counters["in_play"] = double(c.travelling + c.idling);
    state.counters["creatures/s"] =
        benchmark::Counter(double(c.travelling + c.idling), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_HerdStep)->Arg(25)->Arg(100)->Arg(400)->Arg(1600)->Unit(benchmark::kMillisecond);

// Posing one creature's skin from the joint-space copy, per vertex.
void BM_PoseSkin(benchmark::State& state)
{
    HeadlessGL gl;
    if (!MakeContext(&gl, state))
        return;
    auto herd = MakeHerd(1, state);
    if (!herd)
        return;
    ONEDOG& dog = herd->dogs[0];
    dog.SetAction(DOG_TRAVELLING);
    dog.Move(0.1, herd.get());
    for (auto _ : state) {
        dog.UpdatePoints(dog.joints.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(dog.vertices.size()));
}
BENCHMARK(BM_PoseSkin);

// 500 creatures in play at once, set directly on a grid over the ground:
// the step and posing every skin into the herd's drawing buffer, as drawing
// does (our own work), are timed; the OpenGL calls that draw them (the
// driver's work) run untimed.
void BM_Herd500InPlayStepAndPose(benchmark::State& state)
{
    HeadlessGL gl;
    if (!MakeContext(&gl, state))
        return;
    auto herd = MakeHerd(500, state);
    if (!herd)
        return;
    for (int i = 0; i < herd->maxDogs; i++) {
        ONEDOG& dog = herd->dogs[size_t(i)];
        dog.position = dog.currentPos = VECTOR3D(float(i % 25) * 2.4f - 29.0f, 0, float(i / 25) * 1.6f - 15.5f);
        dog.SetAction(i % 3 == 0 ? DOG_IDLING : DOG_TRAVELLING);
    }
    herd->numActive = herd->maxDogs;
    for (auto _ : state) {
        herd->Move(0.025);
        for (int i = 0; i < herd->maxDogs; i++)
            if (herd->dogs[size_t(i)].action > 0)
                herd->dogs[size_t(i)].PoseSkin(herd->skinBuffer);
        state.PauseTiming();
        ApplyView(herd.get());
        herd->Draw(0.025);
        glFinish();
        state.ResumeTiming();
    }
    const HerdCounts c = herd->Count();
    state.counters["in_play"] = double(c.travelling + c.idling);
}
BENCHMARK(BM_Herd500InPlayStepAndPose)->Unit(benchmark::kMillisecond);

void BM_DrawnFrame1280x720(benchmark::State& state)
{
    HeadlessGL gl;
    if (!MakeContext(&gl, state))
        return;
    std::srand(7);
    SETTINGS settings = DefaultSettings(int(kDefaultNumDogs));
    auto scene = std::make_unique<SSMAIN>();
    if (!scene->Setup(false, kWidth, kHeight, &settings, kResources.c_str())) {
        state.SkipWithError("the scene cannot be set up from the scene pack");
        return;
    }
    for (double t = 0; t < kWarmUpSeconds; t += kWarmUpStep) {
        scene->Update(kWarmUpStep);
        scene->Draw();
        glFinish();
    }
    for (auto _ : state) {
        scene->Update(0.025);
        scene->Draw();
        glFinish();
    }
    const HerdCounts c = scene->herd ? scene->herd->Count() : HerdCounts();
    state.counters["in_play"] = double(c.travelling + c.idling);
}
// The software renderer draws on its own threads, so wall time is what counts.
BENCHMARK(BM_DrawnFrame1280x720)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
