#include "hwlink/HardwareModule.h"

CHardwareModule::CHardwareModule(CMDIFrameWnd* frame, bool bSimulate) : m_frame(frame), m_bSimulate(bSimulate)
{
    AddViewListener(this);
}

CHardwareModule::~CHardwareModule() { RemoveViewListener(this); }
