#include "framework/Resources.h"

#include <QtCore/qglobal.h>

// The images live in a static library: they must be pulled in explicitly.
static void initKorvaResources() { Q_INIT_RESOURCE(korva); }

void InitResources()
{
    static const bool once = (initKorvaResources(), true);
    Q_UNUSED(once);
}
