// Fuzz target for the MilkShape 3D loader and everything a loaded model goes
// through before the creatures animate it: scaling, the skeleton, the shared
// template, an instance and a copy of it, and a few frames of blending,
// playback and skinning. A refused model must leave the MS3D empty.
#include "model/MilkshapeModel.h"
#include "model/ModelMain.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    MS3D model;
    if (!model.LoadFromFStream(&stream, size)) {
        if (!model.vertices.empty() || !model.joints.empty() || model.failure[0] == 0)
            std::abort();
        return 0;
    }
    model.Scale(0.25f);
    model.InitialSetup();
    ANIMATIONTEMPLATE animation;
    if (!animation.Setup(&model))
        return 0;
    ONEMODEL source;
    const unsigned int noTexture = 0;
    if (!source.Setup(&animation, &model, &noTexture))
        return 0;
    ONEMODEL instance;
    if (!instance.CopyFrom(source))
        std::abort();
    // Every index the buffer holds must name a buffer vertex.
    for (uint16_t index : instance.indices)
        if (index >= instance.numVertices)
            std::abort();

    const double frames = animation.totalFrames;
    instance.SetAnimation(0, frames, 1000.0, true, true);
    for (int step = 0; step < 12; step++) {
        if (step == 6)
            instance.SetAnimation(frames / 2, frames, 1000.0, false, false);
        instance.RevertPoints(instance.joints.data());
        instance.Animate(0.1);
        instance.UpdateSkeleton();
        instance.UpdatePoints(instance.joints.data());
    }
    return 0;
}
