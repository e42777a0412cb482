#pragma once
// Command targets: a map from command or control id to handler, consulted by
// the frame's command routing and by tests through OnCmdMsg.

#include <QHash>
#include <QString>
#include <functional>

class CCmdUI
{
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool on = true) { m_bEnabled = on; }
    void SetCheck(int check = 1) { m_nCheck = check; }
    void SetText(const QString& text) { m_strText = text; m_bTextSet = true; }

    int m_nID;
    bool m_bEnabled = true;
    int m_nCheck = -1;  // -1: not a check item
    QString m_strText;
    bool m_bTextSet = false;
};

class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    // Runs the handler for nID; false when this target has none.
    virtual bool OnCmdMsg(int nID);
    virtual bool HasCmdHandler(int nID) const;
    // Lets the target enable, check or rename a command; false when it has no
    // update handler for nID.
    virtual bool OnUpdateCmdUI(CCmdUI* pCmdUI);

protected:
    void OnCommand(int nID, std::function<void()> handler);
    void OnCommandRange(int first, int last, std::function<void(int)> handler);
    void OnUpdateCommand(int nID, std::function<void(CCmdUI*)> handler);

private:
    QHash<int, std::function<void()>> m_commands;
    QHash<int, std::function<void(CCmdUI*)>> m_updates;
};
