// Header-only fakes live in fake_window.h.
#include "testing/fake_window.h"
