#include "capture/sample_stream.h"
