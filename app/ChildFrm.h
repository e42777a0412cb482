#pragma once

#include "framework/MDIFrame.h"

class CChildFrame : public CMDIChildWnd
{
    Q_OBJECT
public:
    using CMDIChildWnd::CMDIChildWnd;
};
