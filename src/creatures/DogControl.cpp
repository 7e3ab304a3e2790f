// DogControl: building the herd from the creature pack, its ground bounds,
// its frame step and drawing, births, the footprint ring, the spark pool and
// teardown.
#include "creatures/DogControl.h"

#include "creatures/DogTables.h"
#include "creatures/SceneSettings.h"
#include "model/ModelPack.h"
#include "resources/ResFile.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

const char* const kCreaturePackName = "b.oak";

namespace {

// Footprint slots kept per creature slot beyond the prints shown at full
// strength, so that fading prints vanish before they are overwritten.
constexpr int64_t kFadingPrintsPerSlot = 5;
// Creatures are culled with a sphere of this many creature sizes.
constexpr float kCullRadius = 2.75f;
// Everything a creature draws lies within this many creature sizes (times
// its growth) of its skeleton's root: the build's creature reaches 2.89 in
// its widest poses, measured over minutes of every animation; the rest is
// margin.
constexpr float kDrawnReach = 3.5f;
// Out of view means the sphere reaches at most this far inside the near plane.
constexpr float kUnseenDepth = 0.01f;
// Floats per corner of an effect quad: s, t, r, g, b, a, x, y, z.
constexpr int kEffectFloats = 9;
// The longest step a creature takes at once. A creature steers only while
// its stride's clock passes a short window, and its turn by rate x step
// overshoots on long steps, so a slow frame is walked in equal steps no
// longer than this; shorter frames are taken whole.
constexpr double kLongestCreatureStep = 0.1;
// A frame timed by the difference of two clock readings comes a hair over or
// under its nominal length; a hair over the longest step is still one step.
constexpr double kStepSlack = 1e-6;
// Enough steps for a minute's frame, the longest any run takes; a longer
// one is walked in longer steps rather than in unbounded work.
constexpr double kMostCreatureSteps = 600;

// Writes one corner of an effect quad and returns the next.
float* EffectCorner(float* v, const float st[2], const float rgba[4], float x, float y, float z)
{
    *v++ = st[0];
    *v++ = st[1];
    for (int i = 0; i < 4; i++)
        *v++ = rgba[i];
    *v++ = x;
    *v++ = y;
    *v++ = z;
    return v;
}

// The low 32 bits of a stored count; negative counts mean none.
int32_t Count32(int64_t value)
{
    const int32_t low = int32_t(uint32_t(uint64_t(value)));
    return std::max(low, 0);
}

} // namespace

DOGTEMPLATE::~DOGTEMPLATE()
{
    model.reset();
    animation.reset();
    loaded = false;
}

void DOGCONTROL::ReleaseArrays()
{
    // Creatures point into the template's animation data and hold the coats'
    // texture names, so they go first; delete[] runs from the last to the first.
    dogs.reset();
    templates.reset();
    skins.reset();
    numSkins = 0;
    footprints.reset();
    sparks.reset();
    effectVertices.clear();
    effectVertices.shrink_to_fit();
    skinBuffer.clear();
    skinBuffer.shrink_to_fit();
    ForgetChanges();
    drawnNow.clear();
    drawnLast.clear();
    drawnSlots.clear();
}

void DOGCONTROL::Cleanup()
{
    ReleaseArrays();
    footprintTexture = 0;
    sparkTexture = 0;
}

bool DOGCONTROL::Refuse(const std::string& why)
{
    failure = why;
    return false;
}

bool DOGCONTROL::Setup(SETTINGS* settings, const char* resourcePath)
{
    if (!resourcePath) {
        ReleaseArrays();
        return Refuse("no resources folder given");
    }
    return SetupFromPack(settings, (std::string(resourcePath) + kCreaturePackName).c_str());
}

bool DOGCONTROL::SetupFromPack(SETTINGS* settings, const char* packPath)
{
    ReleaseArrays();
    failure.clear();
    if (!settings || !packPath)
        return Refuse("no settings or pack given");

    maxDogs = Count32(settings->NUM_DOGS);
    dogSize = settings->dogSize;
    // A herd of fewer than 3 slots starts with every slot it has.
    numActive = std::min(int32_t(float(maxDogs) * 0.1f) + 2, maxDogs);

    const int64_t ring = int64_t(Count32(settings->NUM_FOOTPRINTS)) + kFadingPrintsPerSlot * maxDogs;
    if (ring > INT32_MAX)
        return Refuse("the footprint ring would be too large");
    numFootprints = int32_t(ring);
    // With no prints kept at full strength the fade index meets the write
    // index; the modulo keeps it inside the ring.
    footprintFade = numFootprints > 0 ? int32_t(kFadingPrintsPerSlot * maxDogs % numFootprints) : 0;
    // A herd set up again may have a smaller ring than the last print written.
    footprintWrite = 0;
    footprints.reset(new (std::nothrow) FOOTPRINT[size_t(numFootprints)]);
    if (!footprints)
        return Refuse("out of memory");

    RESFILE pack;
    if (!pack.Open(packPath))
        return Refuse(pack.failure);
    if (!BuildTemplate(packPath))
        return false;
    pack.Close();

    if (!BuildSlots())
        return Refuse("out of memory");

    sparks.reset(new (std::nothrow) SPARKCLASS[kSparkPoolSize]);
    if (!sparks)
        return Refuse("out of memory");
    try {
        effectVertices.assign(size_t(std::max(numFootprints, int32_t(kSparkPoolSize))) * 4 * kEffectFloats, 0.0f);
        skinBuffer = templates[0].model->vertices;
        drawnNow.reserve(size_t(maxDogs));
        drawnLast.reserve(size_t(maxDogs));
        drawnSlots.reserve(size_t(maxDogs));
        changed.reserve(size_t(kMostChanges));
    } catch (const std::bad_alloc&) {
        return Refuse("out of memory");
    }
    return true;
}

bool DOGCONTROL::BuildTemplate(const char* packPath)
{
    templates.reset(new (std::nothrow) DOGTEMPLATE[1]);
    if (!templates)
        return Refuse("out of memory");
    DOGTEMPLATE& kind0 = templates[0];

    std::unique_ptr<MS3D> ms3d(new (std::nothrow) MS3D);
    if (!ms3d)
        return Refuse("out of memory");
    Texture* coats = nullptr;
    int coatCount = 0;
    const bool loaded = LoadModel(packPath, ms3d.get(), &coats, &coatCount, &failure);
    // The coats built so far are ours even when loading failed.
    skins.reset(coats);
    numSkins = coats ? coatCount : 0;
    if (!loaded)
        return false;
    const std::string problem = CreatureModelProblem(*ms3d);
    if (!problem.empty())
        return Refuse(problem);

    ms3d->Scale(dogSize * 0.25f);
    ms3d->InitialSetup();
    kind0.animation.reset(new (std::nothrow) ANIMATIONTEMPLATE);
    if (!kind0.animation || !kind0.animation->Setup(ms3d.get()))
        return Refuse("the model's skeleton cannot be set up for animation");
    kind0.model.reset(new (std::nothrow) ONEDOG);
    if (!kind0.model)
        return Refuse("out of memory");
    const int skin = std::rand() % kChosenSkins;
    const unsigned int texture = numSkins > 0 ? skins[skin % numSkins].texID : 0;
    if (!kind0.model->Setup(kind0.animation.get(), ms3d.get(), &texture))
        return Refuse("the model's mesh cannot be set up for drawing (too many corners, or out of memory)");
    kind0.model->kind = 0;
    return true;
}

int DOGCONTROL::StartingSkin(int slot) const
{
    if (maxDogs >= kChosenSkins)
        return slot % kChosenSkins;
    // A small herd has no two creatures alike.
    for (;;) {
        const int skin = std::rand() % kChosenSkins;
        bool taken = false;
        for (int i = 0; i < slot && !taken; i++)
            taken = dogs[size_t(i)].skin == skin;
        if (!taken)
            return skin;
    }
}

void DOGCONTROL::Dress(ONEDOG& dog, int skin) const
{
    dog.skin = skin;
    if (!dog.materials.empty())
        dog.materials[0].texture = numSkins > 0 ? skins[skin % numSkins].texID : 0;
}

bool DOGCONTROL::BuildSlots()
{
    dogs.reset(new (std::nothrow) ONEDOG[size_t(maxDogs)]);
    if (!dogs)
        return false;
    for (int i = 0; i < maxDogs; i++) {
        ONEDOG& dog = dogs[size_t(i)];
        if (!dog.CopyFrom(templates.get()))
            return false;
        Dress(dog, StartingSkin(i));
    }
    for (int i = 0; i < numActive; i++) {
        dogs[size_t(i)].Reset(this);
        dogs[size_t(i)].action = DOG_WAITING;
    }
    return true;
}

void DOGCONTROL::GetBounds()
{
    if (boundsKnown)
        return;
    glPushMatrix();
    glLoadIdentity();
    frustum.ExtractFrustumFaster();
    // Where the right and top planes pass the point on the view axis as far
    // away as the camera's home eye is above the ground.
    const VECTOR3D onAxis(0, 0, -kCameraHomeHeight);
    bounds.x = frustum.PointAtEdgeOfFrustum(FRUSTUM_RIGHT, onAxis).x;
    bounds.z = frustum.PointAtEdgeOfFrustum(FRUSTUM_TOP, onAxis).y;
    glPopMatrix();
    frustum.ExtractFrustumFaster();
    boundsKnown = true;
}

int DOGCONTROL::SlotsInPlay() const
{
    return dogs ? std::clamp(numActive, 0, maxDogs) : 0;
}

void DOGCONTROL::Move(double dt)
{
    GetBounds();
    // Shorter frames, and steps that are not positive or not a number, are
    // taken whole.
    const double steps = dt > kLongestCreatureStep
                             ? std::min(std::ceil(dt / kLongestCreatureStep - kStepSlack), kMostCreatureSteps)
                             : 1.0;
    const double step = dt / steps;
    for (int s = 0; s < int(steps); s++)
        MoveCreatures(step);
}

void DOGCONTROL::MoveCreatures(double dt)
{
    for (int i = 0; dogs && i < maxDogs; i++) {
        ONEDOG& dog = dogs[size_t(i)];
        if (dog.action >= 0)
            dog.Move(dt, this);
        else if (dog.action == DOG_WAITING && (std::rand() & 3) == 0)
            dog.Reset(this);
    }
    if (log.Advance(dt))
        log.Counts(Count());
}

bool DOGCONTROL::InView(const ONEDOG& dog) const
{
    return frustum.SphereInFrustum(dog.currentPos, dogSize * kCullRadius) > 0;
}

void DOGCONTROL::Draw(double dt)
{
    AdvanceEffects(dt);
    ListDrawn();
    DrawCreatures();
    DrawEffects();
    // Drawn whole, nobody asks what changed.
    ForgetChanges();
}

void DOGCONTROL::NoteChange(const WorldSphere& s)
{
    if (changed.size() < size_t(kMostChanges))
        changed.push_back(s);
    else
        changesOverflowed = true;
}

void DOGCONTROL::ForgetChanges()
{
    changed.clear();
    changesOverflowed = false;
}

void DOGCONTROL::AdvanceEffects(double dt)
{
    AgeFootPrints(dt);
    MoveSparks(dt);
}

WorldSphere DOGCONTROL::DrawnSphere(const ONEDOG& dog) const
{
    // currentPos is taken before the frame's animation step, so it can lag
    // the drawn skeleton by a whole stride; the root is where it is now.
    return WorldSphere{dog.RootPosition(), dogSize * kDrawnReach * dog.scale};
}

void DOGCONTROL::ListDrawn()
{
    drawnLast.swap(drawnNow);
    drawnNow.clear();
    drawnSlots.clear();
    for (int i = 0; dogs && i < maxDogs; i++) {
        const ONEDOG& dog = dogs[size_t(i)];
        if (dog.action > 0 && InView(dog)) {
            drawnNow.push_back(DrawnSphere(dog));
            drawnSlots.push_back(i);
        }
    }
}

void DOGCONTROL::DrawCreatures(const std::function<bool(const WorldSphere&)>& wanted)
{
    glEnable(GL_NORMALIZE);
    for (size_t k = 0; k < drawnSlots.size(); k++)
        if (!wanted || wanted(drawnNow[k]))
            dogs[size_t(drawnSlots[k])].Draw(skinBuffer);
    glDisable(GL_NORMALIZE);
}

void DOGCONTROL::DrawEffects()
{
    if (footprints)
        DrawFootPrintQuads(FillFootPrints());
    if (sparks)
        DrawSparkQuads(FillSparks());
}

int DOGCONTROL::FreeSlot() const
{
    for (int i = 0; dogs && i < maxDogs; i++)
        if (dogs[size_t(i)].action <= 0)
            return i;
    return -1;
}

int DOGCONTROL::UnseenSlot() const
{
    for (int i = 0; dogs && i < maxDogs; i++)
        if (frustum.SphereInFrustum(dogs[size_t(i)].currentPos, dogSize * kCullRadius) <= kUnseenDepth)
            return i;
    return -1;
}

bool DOGCONTROL::Breed(VECTOR3D p)
{
    int slot = FreeSlot();
    // A full herd takes over a creature nobody sees, one time in three.
    if (slot < 0 && std::rand() % 3 == 1)
        slot = UnseenSlot();
    if (slot < 0)
        return false;

    ONEDOG& baby = dogs[size_t(slot)];
    const bool recycled = baby.action > 0;
    baby.Reset(this);
    baby.position = p;
    baby.currentPos = p;
    baby.SetAction(DOG_IDLING);
    baby.scale = 0.3f;
    Dress(baby, std::rand() % kChosenSkins);
    NewSparks(p, VECTOR3D(0, 1, 0), 100 + std::rand() % 100, SPARK_BURST);

    numActive = 0;
    for (int i = 0; i < maxDogs; i++)
        numActive += dogs[size_t(i)].action > 0 ? 1 : 0;
    log.Birth(p, slot, recycled);
    return true;
}

void DOGCONTROL::AddFootPrint(VECTOR3D p, MATRIX orientation, const ONEDOG* dog)
{
    if (!footprints || numFootprints <= 0)
        return;
    const int32_t w = footprintWrite;
    const int32_t f = footprintFade;
    footprintWrite = w + 1 == numFootprints ? 0 : w + 1;
    footprintFade = f + 1 == numFootprints ? 0 : f + 1;

    // The new print is laid before the old one is aged: the two are different
    // slots unless no print is kept at full strength, and then the new print
    // starts to fade at once.
    FOOTPRINT& print = footprints[size_t(w)];
    // An overwritten print still showing goes from where it was.
    if (print.life > 0)
        NoteChange(PrintSphere(print));
    print.life = 1.0f;
    FOOTPRINT& fading = footprints[size_t(f)];
    if (fading.life > 0)
        NoteChange(PrintSphere(fading));
    fading.life = float(fading.life - 0.016666666666666666);

    static const VECTOR3D kSquare[4] = {{-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {-1, 0, -1}};
    const float s = dog ? dog->scale : 1.0f;
    for (int k = 0; k < 4; k++) {
        const VECTOR3D c(kSquare[k].x * s, kSquare[k].y * s, kSquare[k].z * s);
        const VECTOR3D r = MatrixRotatePoint(orientation, c);
        print.corners[k] = VECTOR3D(p.x + r.x * 0.2f * dogSize, 0, p.z + r.z * 0.2f * dogSize);
    }
    NoteChange(PrintSphere(print));
    log.footprintsLaid++;
}

WorldSphere DOGCONTROL::PrintSphere(const FOOTPRINT& print) const
{
    VECTOR3D c(0, 0, 0);
    for (const VECTOR3D& corner : print.corners) {
        c.x += corner.x * 0.25f;
        c.z += corner.z * 0.25f;
    }
    float reach = 0;
    for (const VECTOR3D& corner : print.corners)
        reach = std::max(reach, float(DistanceBetweenVectors(c, corner)));
    return WorldSphere{c, reach};
}

void DOGCONTROL::DrawFootPrints(double dt)
{
    if (!footprints)
        return;
    AgeFootPrints(dt);
    DrawFootPrintQuads(FillFootPrints());
}

void DOGCONTROL::AgeFootPrints(double dt)
{
    for (int i = 0; footprints && i < numFootprints; i++) {
        FOOTPRINT& print = footprints[size_t(i)];
        // A fresh print (exactly 1.0) stays; a fading one fades by the frame.
        if (print.life <= 0 || print.life >= 1.0f)
            continue;
        print.life = float(print.life - dt);
        NoteChange(PrintSphere(print));
    }
}

int DOGCONTROL::FillFootPrints()
{
    static const float kTexCoords[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    float* v = effectVertices.data();
    int quads = 0;
    const int room = EffectQuadsRoom();
    for (int i = 0; i < numFootprints && quads < room; i++) {
        const FOOTPRINT& print = footprints[size_t(i)];
        if (print.life <= 0)
            continue;
        const float colour[4] = {0, 0, 0, print.life * 0.2f};
        for (int k = 0; k < 4; k++)
            v = EffectCorner(v, kTexCoords[k], colour, print.corners[k].x, print.corners[k].y, print.corners[k].z);
        quads++;
    }
    return quads;
}

void DOGCONTROL::DrawFootPrintQuads(int quads)
{
    glBindTexture(GL_TEXTURE_2D, footprintTexture);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    DrawEffectQuads(quads);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glColor4f(1, 1, 1, 1);
}

int DOGCONTROL::EffectQuadsRoom() const
{
    return int(effectVertices.size() / (4 * kEffectFloats));
}

void DOGCONTROL::DrawEffectQuads(int quads) const
{
    if (quads <= 0)
        return;
    const GLsizei stride = kEffectFloats * sizeof(float);
    const float* v = effectVertices.data();
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, v);
    glColorPointer(4, GL_FLOAT, stride, v + 2);
    glVertexPointer(3, GL_FLOAT, stride, v + 6);
    glDrawArrays(GL_QUADS, 0, 4 * quads);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void DOGCONTROL::NewSparks(VECTOR3D p, VECTOR3D /*direction*/, int count, int type)
{
    if (!sparks || count <= 0)
        return;
    int started = 0;
    for (int i = 0; i < kSparkPoolSize && started < count; i++) {
        SPARKCLASS& spark = sparks[size_t(i)];
        if (spark.life <= 0) {
            spark.Reset(p, type);
            started++;
        }
    }
}

void DOGCONTROL::DrawSparks(double dt)
{
    if (!sparks)
        return;
    MoveSparks(dt);
    DrawSparkQuads(FillSparks());
}

void DOGCONTROL::MoveSparks(double dt)
{
    // A spark's square, turned any way, lies within this many half-edges of its centre.
    constexpr float kSquareReach = 1.4143f;
    for (int i = 0; sparks && i < kSparkPoolSize; i++) {
        SPARKCLASS& spark = sparks[size_t(i)];
        if (spark.life > 0)
            NoteChange(WorldSphere{spark.pos, spark.size * kSquareReach});
        spark.Move(dt, this);
        if (spark.life > 0)
            NoteChange(WorldSphere{spark.pos, spark.size * kSquareReach});
    }
}

int DOGCONTROL::FillSparks()
{
    // One billboard for every spark: the corners turned to face the camera.
    const MATRIX b = MatrixAngleBetweenVectors(camera.look, camera.pos);
    static const VECTOR3D kCorners[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
    static const float kTexCoords[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    VECTOR3D turned[4];
    for (int k = 0; k < 4; k++)
        turned[k] = MatrixRotatePoint(b, kCorners[k]);

    float* v = effectVertices.data();
    int quads = 0;
    const int room = EffectQuadsRoom();
    for (int i = 0; i < kSparkPoolSize && quads < room; i++) {
        const SPARKCLASS& spark = sparks[size_t(i)];
        if (spark.life <= 0)
            continue;
        const float colour[4] = {spark.colour[0], spark.colour[1], spark.colour[2], spark.life * 0.8f};
        for (int k = 0; k < 4; k++)
            v = EffectCorner(v, kTexCoords[k], colour, spark.pos.x + turned[k].x * spark.size,
                             spark.pos.y + turned[k].y * spark.size, spark.pos.z + turned[k].z * spark.size);
        quads++;
    }
    return quads;
}

void DOGCONTROL::DrawSparkQuads(int quads)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, sparkTexture);
    DrawEffectQuads(quads);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

HerdCounts DOGCONTROL::Count() const
{
    HerdCounts c;
    c.slots = maxDogs;
    c.inPlay = numActive;
    for (int i = 0; dogs && i < maxDogs; i++) {
        const int32_t a = dogs[size_t(i)].action;
        c.waiting += a == DOG_WAITING ? 1 : 0;
        c.travelling += a == DOG_TRAVELLING ? 1 : 0;
        c.idling += a == DOG_IDLING ? 1 : 0;
    }
    for (int i = 0; sparks && i < kSparkPoolSize; i++)
        c.sparksAlive += sparks[size_t(i)].life > 0 ? 1 : 0;
    c.footprintsLaid = log.footprintsLaid;
    c.births = log.births;
    return c;
}
