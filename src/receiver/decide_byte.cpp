#include "receiver/decide_byte.h"
