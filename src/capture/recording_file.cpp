#include "capture/recording_file.h"
