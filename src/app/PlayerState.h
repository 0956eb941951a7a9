// The entry points of both builds reach the shared state through this name;
// the state itself lives at the bottom of the core, in state/.
#pragma once

#include "state/PlayerState.h"
