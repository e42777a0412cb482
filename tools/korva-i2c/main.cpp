// korva-i2c: a bus tool for people wiring a KORVA I2C board.

#include "Commands.h"
#include "Options.h"

#include "hw/I2CAdapter.h"
#include "hw/I2CBus.h"
#include "hw/RecordingPort.h"
#include "hw/SimBoard.h"
#include "hw/SimI2CNode.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace {
constexpr int EXIT_BUS_ERROR = 1;
constexpr int EXIT_USAGE = 2;

void ReportError(const CERR& error, const ToolOptions& options, int osError)
{
    std::cerr << "korva-i2c: error " << error.GetNumber() << ": " << error.GetText();
    const bool addressError = error.GetNumber() == cerr::kNoAckOnData || error.GetNumber() == cerr::kNoAckOnAddress;
    if (addressError && error.GetDetail() != 0) {
        char address[32];
        std::snprintf(address, sizeof address, " (address 0x%02X)", error.GetDetail());
        std::cerr << address;
    }
    std::cerr << '\n';
    if (options.bus >= 0) {
        const std::string node = CI2CAdapter::NodePath(options.bus);
        if (osError)
            std::cerr << "korva-i2c: " << node << ": " << std::strerror(osError) << '\n';
        if (error.GetNumber() == cerr::kPortUnavailable)
            std::cerr << "korva-i2c: " << node
                      << " must exist (module i2c-dev; on a Raspberry Pi dtparam=i2c_arm=on),"
                         " be an I2C adapter and be open to you (group i2c)\n";
        return;
    }
    if (error.GetNumber() == cerr::kPortUnavailable && !options.simulate)
        std::cerr << "korva-i2c: port " << options.port << " is /dev/parport" << options.port - 1
                  << ": it must exist (module ppdev), be free (no other program, module lp"
                     " unloaded) and be open to you (group lp)\n";
}
std::string AdapterName(int number)
{
    for (const I2CAdapterInfo& adapter : ListI2CAdapters())
        if (adapter.number == number)
            return adapter.name;
    return "(not listed in /sys/class/i2c-dev)";
}

// --bus: the kernel's adapter, or a simulated one on the simulated board's devices.
int RunOnAdapter(const ToolOptions& options, CSimBoard& board)
{
    CSimI2CNode simulated(board.Controller(), CI2CAdapter::NodePath(options.bus));
    CI2CAdapter adapter(options.simulate ? static_cast<CI2CNode&>(simulated) : DefaultI2CNode());
    const std::string name =
        options.simulate ? "KORVA simulated adapter" : AdapterName(options.bus);
    int status = 0;
    try {
        RunAdapterCommand(options, adapter, name, std::cout);
    } catch (const CERR& error) {
        std::cout.flush();
        ReportError(error, options, adapter.LastErrno());
        status = EXIT_BUS_ERROR;
    }
    if (!std::cout.flush()) {
        std::cerr << "korva-i2c: cannot write to standard output\n";
        status = EXIT_BUS_ERROR;
    }
    if (options.trace)
        for (const std::string& line : simulated.Trace())
            std::cerr << line << '\n';
    return status;
}
} // namespace

int main(int argc, char** argv)
{
    ToolOptions options;
    if (const std::string error = ParseOptions(argc, argv, options); !error.empty()) {
        std::cerr << "korva-i2c: " << error << "\nTry 'korva-i2c --help'.\n";
        return EXIT_USAGE;
    }
    if (options.command == "help") {
        std::cout << UsageText();
        return 0;
    }

    CSimBoard board;
    board.AddDefaultDevices();
    if (options.bus >= 0)
        return RunOnAdapter(options, board);
    CPortBackend& port =
        options.simulate ? static_cast<CPortBackend&>(board) : DefaultPortBackend();
    CRecordingPort recorder(port);
    CI2CBus bus(options.trace ? static_cast<CPortBackend&>(recorder) : port);

    int status = 0;
    try {
        RunCommand(options, bus, std::cout);
    } catch (const CERR& error) {
        std::cout.flush();
        ReportError(error, options, 0);
        status = EXIT_BUS_ERROR;
    }
    if (!std::cout.flush()) {
        std::cerr << "korva-i2c: cannot write to standard output\n";
        status = EXIT_BUS_ERROR;
    }
    if (options.trace)
        for (const std::string& line : recorder.CompactTrace())
            std::cerr << line << '\n';
    return status;
}
