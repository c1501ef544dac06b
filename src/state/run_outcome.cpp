#include "state/run_outcome.h"

RunOutcome LastRunOutcome = OutcomeCompleted;
