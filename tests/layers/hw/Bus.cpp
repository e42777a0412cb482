// Fixture for the layer check: Qt in the plain C++ hardware layer.
#include "base/Station.h"
#include <QString>
#include <cstdint>
