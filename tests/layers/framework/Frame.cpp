// Fixture for the layer check: the framework reaching up into the program's
// resources, which it must not.
#include "framework/Frame.h"
#include "res/resource.h"
