#include "capture/wave_capture.h"
