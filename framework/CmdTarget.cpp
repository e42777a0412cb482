#include "framework/CmdTarget.h"

bool CCmdTarget::OnCmdMsg(int nID)
{
    auto it = m_commands.constFind(nID);
    if (it == m_commands.constEnd())
        return false;
    // Copy: the handler may replace the map entry while it runs.
    const auto handler = it.value();
    handler();
    return true;
}

bool CCmdTarget::HasCmdHandler(int nID) const { return m_commands.contains(nID); }

bool CCmdTarget::OnUpdateCmdUI(CCmdUI* pCmdUI)
{
    auto it = m_updates.constFind(pCmdUI->m_nID);
    if (it == m_updates.constEnd())
        return false;
    it.value()(pCmdUI);
    return true;
}

void CCmdTarget::OnCommand(int nID, std::function<void()> handler)
{
    m_commands.insert(nID, std::move(handler));
}

void CCmdTarget::OnCommandRange(int first, int last, std::function<void(int)> handler)
{
    for (int id = first; id <= last; ++id)
        m_commands.insert(id, [handler, id] { handler(id); });
}

void CCmdTarget::OnUpdateCommand(int nID, std::function<void(CCmdUI*)> handler)
{
    m_updates.insert(nID, std::move(handler));
}
