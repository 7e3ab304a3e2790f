// WakeRule: which pointer motion ends a full-screen run.
#include <gtest/gtest.h>

#include "platform/loop/WakeRule.h"

#include <vector>

namespace {

struct Event {
    enum Kind { Enter, Motion } kind;
    double t, x, y;
};

// Each case is a sequence from a run started at t = 0, built so that only its
// last motion may wake; a fault that wakes earlier also wakes at the last.
TEST(WakeRule, MotionWakesOnlyBeyondAFewPixelsAfterTheGrace)
{
    const struct {
        const char* name;
        std::vector<Event> events;
        bool wakes;
    } cases[] = {
        {"a move past the limit", {{Event::Motion, 0.6, 100, 100}, {Event::Motion, 0.7, 111, 100}}, true},
        {"grace motion does not count towards the move",
         {{Event::Motion, 0.1, 0, 0}, {Event::Motion, 0.6, 300, 300}, {Event::Motion, 0.7, 305, 300}},
         false},
        {"entering after the grace sets the reference",
         {{Event::Enter, 1.0, 50, 50}, {Event::Motion, 1.1, 50, 62}},
         true},
        {"entering another output is not a move by itself",
         {{Event::Motion, 0.6, 10, 10}, {Event::Enter, 0.8, 900, 900}, {Event::Motion, 0.9, 902, 900}},
         false},
        {"an entry during the grace leaves no reference",
         {{Event::Enter, 0.2, 10, 10}, {Event::Motion, 0.6, 300, 300}},
         false},
    };
    for (const auto& c : cases) {
        WakeRule rule(100.0);
        bool woke = false;
        for (const Event& e : c.events)
            if (e.kind == Event::Enter)
                rule.Enter(100.0 + e.t, e.x, e.y);
            else
                woke = rule.Motion(100.0 + e.t, e.x, e.y);
        EXPECT_EQ(woke, c.wakes) << c.name;
    }
}

} // namespace
