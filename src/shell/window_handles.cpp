#include "shell/window_handles.h"

WindowHandlesRecord WindowHandles;
