#include "app/replay_run.h"
