#pragma once
// The event journal, the current history and the CSV exports: an add-on that
// listens to the monitoring views and answers its own commands.

#include "framework/CmdTarget.h"
#include "view/ViewEvents.h"

class CMDIFrameWnd;

class CJournalModule : public CCmdTarget, public IViewListener
{
public:
    explicit CJournalModule(CMDIFrameWnd* frame);
    ~CJournalModule() override;

private:
    CMDIFrameWnd* m_frame;
};
