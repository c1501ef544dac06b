// The handles of the main window and its five controls; none (0) until created.
#ifndef UPDATE_STATE_WINDOW_HANDLES_H
#define UPDATE_STATE_WINDOW_HANDLES_H

#include "platform/platform.h"

struct WindowHandlesRecord {
    WindowHandle MainWindow;
    WindowHandle TopText;
    WindowHandle BodyText;
    WindowHandle StartButton;
    WindowHandle CancelButton;
    WindowHandle FinishButton;
};

extern WindowHandlesRecord WindowHandles;

#endif
