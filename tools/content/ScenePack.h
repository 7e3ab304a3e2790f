// ScenePack: assembles "pellmore.works", the pictures the scene draws.
#pragma once

#include "resources/PackWriter.h"

PackWriter BuildScenePack();
