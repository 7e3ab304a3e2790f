// SceneSettings: the user's choices as the herd and the scene read them
// (SETTINGS). They live with the herd, the lowest part that reads them, so
// that neither the herd nor the scene reaches up into the view, which loads
// them from the preferences (view/Settings.h: keys, defaults and limits).
#pragma once

#include <cstdint>
#include <string>

enum { kBGPathBytes = 1024 };

class SETTINGS {
public:
    int64_t NUM_FOOTPRINTS = 0;
    int64_t NUM_DOGS = 0;
    // Creature size in percent.
    int64_t LDOGSIZE = 0;
    bool TILEBG = false;
    // Whether the timed banner and caption card are drawn over the herd.
    bool SHOWOVERLAY = true;
    // LDOGSIZE / 100.
    float dogSize = 0;
    // 0: capture of the desktop, 1: the desktop picture, 2: a folder's picture.
    int32_t BGTYPE = 0;
    char BGPath[kBGPathBytes] = {};
    // 0: 512, 1: 1024, other: the picture's own size.
    int32_t BGRES = 0;
    // The monitors that show the herd, comma-separated as the user wrote
    // them; empty for every monitor (see view/MonitorChoice.h).
    std::string MonitorNames;
};
