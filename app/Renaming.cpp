// The renaming run.
#include "App.h"

void RunRenaming() {}
