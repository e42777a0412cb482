#pragma once
// Real hardware as current source and switch outputs: an opt-in add-on that
// listens to the monitoring views and answers its own commands.

#include "framework/CmdTarget.h"
#include "view/ViewEvents.h"

class CMDIFrameWnd;

class CHardwareModule : public CCmdTarget, public IViewListener
{
public:
    // bSimulate: start in simulation mode (command line --simulate).
    CHardwareModule(CMDIFrameWnd* frame, bool bSimulate);
    ~CHardwareModule() override;

private:
    CMDIFrameWnd* m_frame;
    bool m_bSimulate;
};
