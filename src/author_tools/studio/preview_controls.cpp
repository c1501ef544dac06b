// The five controls of update.exe's window that its layout code (main_window.cpp)
// creates; in the studio they belong to the preview. The control font is the
// check's (patch_check.cpp), which the preview fills while it builds.
#include "shell/main_window.h"

ChildControl TopText;
ChildControl BodyText;
ChildControl StartButton;
ChildControl CancelButton;
ChildControl FinishButton;
