#include "receiver/directory_text_output.h"
