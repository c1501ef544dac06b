// The control font and the five controls, defined together in this one file so
// that they are constructed in this order before WinMain and destroyed in the
// reverse order after it: the font outlives every control that uses it.
#include "shell/font_holder.h"
#include "shell/main_window.h"

FontHolder ControlFont;
ChildControl TopText;
ChildControl BodyText;
ChildControl StartButton;
ChildControl CancelButton;
ChildControl FinishButton;
