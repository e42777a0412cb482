// Fixture for the layer check: allowed includes only.
#include "dialogs/Dialog.h"
#include "framework/Frame.h"
#include <QWidget>
