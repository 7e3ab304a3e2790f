// Effects: the herd's two effects, the footprint (FOOTPRINT, one entry of the
// herd's ring) and the spark particle (SPARKCLASS, one entry of its pool).
//
// Both are plain records the herd owns in fixed arrays sized at setup; they
// are laid, started, aged and drawn by the herd (DogControl).
#pragma once

#include "maths/NiftyMaths.h"

#include <cstdint>

class DOGCONTROL;

struct FOOTPRINT {
    // Corners on the ground (y = 0), in drawing order.
    VECTOR3D corners[4];
    // 1.0 when laid, fading below 1.0, gone at 0 or less; -1.0 if never laid.
    float life = -1.0f;
};

// How a spark was started.
enum { SPARK_STILL = 0, SPARK_BURST = 1 };

class SPARKCLASS {
public:
    // The idle spark: at the origin, still, with life -1 (free).
    SPARKCLASS();

    // Starts the spark at p with a random life, size and colour; a burst
    // spark also gets a random velocity.
    void Reset(VECTOR3D p, int newType);
    // Flies, falls and bounces; does nothing once life is below 0.
    void Move(double dt, DOGCONTROL* herd);

    VECTOR3D pos;
    VECTOR3D oldPos;
    VECTOR3D olderPos;
    // Units per second.
    VECTOR3D velocity;
    // Falls by 2 per second: drawn while above 0, moved while 0 or more.
    float life = 0;
    float age = 0;
    // Half the edge of the spark's square.
    float size = 0;
    float colour[3] = {0, 0, 0};
    bool flag = false;
    int32_t type = SPARK_STILL;
};

enum { kSparkPoolSize = 1000 };
