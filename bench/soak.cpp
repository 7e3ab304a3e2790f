// larkspur-soak: a long headless run of the whole view (host, scene, herd,
// footprints, sparks, overlay) on a simulated clock, for what only shows
// after hours: memory that creeps up and skins that drift.
//
// Every few simulated minutes it prints the resident memory (VmRSS), the herd's
// counts and the largest difference between any creature's skin and a fresh
// pose of the joint-space mesh with that creature's current joint matrices;
// at the end, the resident memory at the start, the middle and the end, and the
// largest skin error of the whole run. Exits 1 when the scene or the herd
// cannot be set up, or a skin error passes --max-skin-error.
//
// Runs in the headless OpenGL context (Mesa's software renderer) with this
// build's generated packs unless --resources names others. The user's stored
// settings are overridden by the options, so runs repeat with the seed.
#include "creatures/DogControl.h"
#include "platform/headless/HeadlessHost.h"
#include "scene/SSMain.h"
#include "view/LarkspurView.h"
#include "view/Settings.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

namespace {

struct SoakOptions {
    double seconds = 7200;
    double step = 0.25;
    double reportEvery = 600;
    int64_t slots = 500;
    int64_t footprints = 100000;
    int width = 160;
    int height = 120;
    int64_t seed = 1;
    double maxSkinError = 1e-5;
    std::string resources = LARKSPUR_RESOURCES_DIR;
};

void Usage(std::FILE* to)
{
    std::fprintf(to, "usage: larkspur-soak [--seconds S] [--step S] [--report-every S] [--slots N]\n"
                     "                     [--footprints N] [--size WxH] [--seed N] [--max-skin-error E]\n"
                     "                     [--resources DIR]\n"
                     "Defaults: 7200 simulated seconds in steps of 0.25 s, a report every 600 s, 500 slots,\n"
                     "100000 footprints, 160x120, seed 1, skin error at most 1e-5, this build's packs.\n");
}

bool ParseNumber(const char* text, double* out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != 0 || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

// False, with a message, for anything it does not understand.
bool ParseOptions(int argc, char** argv, SoakOptions* o)
{
    for (int i = 1; i < argc; i++) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            Usage(stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "larkspur-soak: %s needs a value\n", name.c_str());
            return false;
        }
        const char* value = argv[++i];
        double v = 0;
        bool ok = true;
        if (name == "--resources") {
            o->resources = value;
        } else if (name == "--size") {
            ok = std::sscanf(value, "%dx%d", &o->width, &o->height) == 2 && o->width > 0 && o->height > 0 &&
                 o->width <= 4096 && o->height <= 4096;
        } else if (!ParseNumber(value, &v)) {
            ok = false;
        } else if (name == "--seconds") {
            o->seconds = v;
            ok = v > 0;
        } else if (name == "--step") {
            // The view draws only gaps above 1/60 s and up to 2 s.
            o->step = v;
            ok = v > LarkspurView::kShortestGap && v <= LarkspurView::kLongestGap;
        } else if (name == "--report-every") {
            o->reportEvery = v;
            ok = v > 0;
        } else if (name == "--slots") {
            o->slots = int64_t(v);
            ok = v >= kMinNumDogs && v <= kMaxNumDogs;
        } else if (name == "--footprints") {
            o->footprints = int64_t(v);
            ok = v >= 0 && v <= 1e9;
        } else if (name == "--seed") {
            o->seed = int64_t(v);
        } else if (name == "--max-skin-error") {
            o->maxSkinError = v;
            ok = v >= 0;
        } else {
            std::fprintf(stderr, "larkspur-soak: unknown option %s\n", name.c_str());
            Usage(stderr);
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "larkspur-soak: bad value for %s: %s\n", name.c_str(), value);
            return false;
        }
    }
    return true;
}

// Resident memory in MiB, from /proc; 0 when it cannot be read.
double ResidentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
}

// The largest difference, over every creature slot in play, between its
// skin as drawing poses it (into the herd's buffer) and the joint-space mesh
// of the template creature posed afresh with that creature's current joint
// matrices. NaN counts as infinitely wrong.
double SkinError(DOGCONTROL& herd)
{
    if (!herd.templates || !herd.templates[0].model || !herd.dogs)
        return 0;
    const std::vector<MODELVERTEX>& rest = herd.templates[0].model->vertices;
    double worst = 0;
    for (int d = 0; d < herd.SlotsInPlay(); d++) {
        ONEDOG& dog = herd.dogs[size_t(d)];
        if (herd.skinBuffer.size() != rest.size())
            continue;
        dog.PoseSkin(herd.skinBuffer);
        for (size_t v = 0; v < rest.size(); v++) {
            if (rest[v].joint < 0 || size_t(rest[v].joint) >= dog.joints.size())
                continue;
            const MATRIX& a = dog.joints[size_t(rest[v].joint)].absolute;
            const VECTOR3D p = MatrixTranslatePoint(a, MatrixRotatePoint(a, rest[v].position));
            const VECTOR3D n = MatrixRotatePoint(a, rest[v].normal);
            const VECTOR3D& gp = herd.skinBuffer[v].position;
            const VECTOR3D& gn = herd.skinBuffer[v].normal;
            for (float diff : {gp.x - p.x, gp.y - p.y, gp.z - p.z, gn.x - n.x, gn.y - n.y, gn.z - n.z}) {
                if (std::isnan(diff))
                    return INFINITY;
                worst = std::max(worst, double(std::fabs(diff)));
            }
        }
    }
    return worst;
}

double WallSeconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The process's own processor time, which a busy machine does not inflate.
double CpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char** argv)
{
    SoakOptions o;
    if (!ParseOptions(argc, argv, &o))
        return 2;

    HeadlessRun run;
    run.width = o.width;
    run.height = o.height;
    run.step = o.step;
    run.seed = o.seed;
    run.resources = o.resources;
    SettingsOverrides overrides;
    overrides.numDogs = o.slots;
    overrides.numFootprints = o.footprints;
    overrides.dogSize = kDefaultDogSize;
    // The desktop picture, of which a headless run has none: the plain ground.
    overrides.bgType = 1;
    overrides.bgRes = kDefaultBGRes;
    overrides.tileBG = kDefaultTileBG;
    overrides.mainMonitorOnly = false;

    HeadlessHost host(run);
    std::string error;
    if (!host.Create(&error)) {
        std::fprintf(stderr, "larkspur-soak: no headless OpenGL context: %s\n", error.c_str());
        return 1;
    }
    const int64_t ticks = int64_t(std::ceil(o.seconds / o.step));
    const int64_t middle = ticks / 2;
    const int64_t reportTicks = std::max<int64_t>(1, int64_t(std::llround(o.reportEvery / o.step)));
    std::printf("larkspur-soak: %.0f simulated s in steps of %g s (%" PRId64 " frames), %" PRId64 " slots, %" PRId64
                " footprints, %dx%d, seed %" PRId64 "\n",
                o.seconds, o.step, ticks, o.slots, o.footprints, o.width, o.height, o.seed);

    const auto started = std::chrono::steady_clock::now();
    double rssStart = 0, rssMiddle = 0, rssEnd = 0, worstSkin = 0;
    {
        LarkspurView view(&host, overrides);
        view.startAnimation();
        host.SetTick(0);
        view.animateOneFrame();
        for (int64_t tick = 1; tick <= ticks; tick++) {
            host.SetTick(tick);
            view.animateOneFrame();
            SSMAIN* scene = view.ssMain.get();
            if (!scene || (tick > 2 && (!scene->herdReady || !scene->herd))) {
                std::fprintf(stderr, "larkspur-soak: the %s cannot be set up from %s\n", scene ? "herd" : "scene",
                             o.resources.c_str());
                return 1;
            }
            // The herd is built on the second drawn frame.
            if (tick == 2)
                rssStart = ResidentMiB();
            if (tick == middle)
                rssMiddle = ResidentMiB();
            if (tick % reportTicks != 0 && tick != ticks)
                continue;
            const double skin = SkinError(*scene->herd);
            worstSkin = std::max(worstSkin, skin);
            const HerdCounts c = scene->herd->Count();
            std::printf("%7.0f s  RSS %6.1f MiB  in play %3d/%d  footprints laid %9" PRId64 "  births %6" PRId64
                        "  skin error %.3g  (%.0f s wall, %.0f s CPU)\n",
                        double(tick) * o.step, ResidentMiB(), c.inPlay, c.slots, c.footprintsLaid, c.births, skin,
                        WallSeconds(started), CpuSeconds());
            std::fflush(stdout);
        }
        rssEnd = ResidentMiB();
    }
    const bool skinOk = worstSkin <= o.maxSkinError;
    std::printf("larkspur-soak: RSS start %.1f MiB, middle %.1f MiB, end %.1f MiB; largest skin error %.3g "
                "(limit %g); %.0f s wall, %.0f s CPU\n",
                rssStart, rssMiddle, rssEnd, worstSkin, o.maxSkinError, WallSeconds(started), CpuSeconds());
    if (!skinOk) {
        std::fprintf(stderr, "larkspur-soak: the skin drifted from a fresh pose by %.3g\n", worstSkin);
        return 1;
    }
    return 0;
}
