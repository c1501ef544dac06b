#include "state/command_line_choices.h"

CommandLineChoicesRecord CommandLineChoices;
