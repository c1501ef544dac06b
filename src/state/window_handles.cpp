#include "state/window_handles.h"

WindowHandlesRecord WindowHandles;
