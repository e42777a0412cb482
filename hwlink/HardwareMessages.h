#pragma once
// The program's German sentences for the hardware layer's error numbers: what
// went wrong and what to check. The error table's own texts stay for the bus
// tool and CERR::GetText.

#include "hwlink/HardwareConfig.h"

#include <QString>

// The bus as the user finds it: "Parallelport 1 (/dev/parport0)",
// "I2C-Adapter 3 (/dev/i2c-3)", "Simulation".
QString HardwareBusText(const HardwareConfig& config);

// One sentence for error nError; nDetail is the 8-bit device address where
// the error names one, else 0. Ends with "(Fehler n)" and, where there is
// something to check, " – … prüfen".
QString HardwareErrorText(int nError, int nDetail, const HardwareConfig& config);
