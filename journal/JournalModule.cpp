#include "journal/JournalModule.h"

CJournalModule::CJournalModule(CMDIFrameWnd* frame) : m_frame(frame) { AddViewListener(this); }

CJournalModule::~CJournalModule() { RemoveViewListener(this); }
