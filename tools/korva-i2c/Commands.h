#pragma once

#include "Options.h"

#include <iosfwd>

class CI2CBus;

// Runs one command of korva-i2c on the bus; CERR passes through.
void RunCommand(const ToolOptions& options, CI2CBus& bus, std::ostream& out);
