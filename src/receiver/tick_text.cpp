#include "receiver/tick_text.h"
