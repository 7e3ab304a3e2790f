// Effects: starting and moving sparks.
#include "creatures/Effects.h"

#include <cstdlib>

SPARKCLASS::SPARKCLASS()
{
    Reset(VECTOR3D(0, 0, 0), SPARK_STILL);
    life = -1.0f;
    age = 0;
}

void SPARKCLASS::Reset(VECTOR3D p, int newType)
{
    pos = oldPos = olderPos = p;
    if (newType == SPARK_BURST) {
        // Sideways at unit speed in a random direction, then up at 0.2 to 4.1.
        velocity.x = float((std::rand() % 40 - 20) / 10.0);
        velocity.y = 0;
        velocity.z = float((std::rand() % 40 - 20) / 10.0);
        velocity.Normalize();
        velocity.y = float((std::rand() % 40) / 10.0 + 0.2);
    } else if (newType == SPARK_STILL) {
        velocity = VECTOR3D(0, 0, 0);
    }
    flag = false;
    life = float((std::rand() % 50) / 10.0 + 2.0);
    age = 0.01f;
    type = newType;
    size = float((std::rand() % 50) / 100.0 + 0.2);
    for (float& c : colour)
        c = float((std::rand() % 100) / 100.0);
}

void SPARKCLASS::Move(double dt, DOGCONTROL* /*herd*/)
{
    if (life < 0)
        return;
    velocity.y = float(velocity.y - 4.0 * dt);
    olderPos = oldPos;
    oldPos = pos;
    const float f = float(dt);
    pos.x += velocity.x * f;
    pos.y += velocity.y * f;
    pos.z += velocity.z * f;
    life = float(life - 2.0 * dt);
    age = float(age + 0.025 * dt);
    // The ground bounces the spark back up without loss.
    if (pos.y < 0) {
        velocity.y = -velocity.y;
        pos.y = 0;
    }
}
