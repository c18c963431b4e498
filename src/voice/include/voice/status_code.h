// The status codes moved down to the CELP layer, which reports them too;
// this name stays for the code that includes it from here.
#pragma once

#include "celp/status_code.h"
