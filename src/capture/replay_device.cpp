#include "capture/replay_device.h"
