#include "receiver/receive_tick.h"
