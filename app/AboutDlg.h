#pragma once

#include "framework/Dialog.h"
#include "res/resource.h"

class CAboutDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr) : CDialog(IDD_ABOUTBOX, pParent) {}
};
