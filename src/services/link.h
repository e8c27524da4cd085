#pragma once
// The seam template lives with the platform layers, which use it too.
#include "link/link.h"
