#include "app/receiver_dialog.h"
