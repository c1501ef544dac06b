// Start-up reads the command line's choices before anything else.
#ifndef UPDATE_COMMAND_LINE_CHOICES_READER_H
#define UPDATE_COMMAND_LINE_CHOICES_READER_H

#include "state/command_line_choices.h"

// Fills CommandLineChoices from the process command line; it cannot fail.
void ReadCommandLineChoices();

#endif
