#pragma once
// The web panel as an add-on: serves the first open view's state on a thread
// of its own and takes switching from the web into the view's own handlers.
// Works the same with and without a window; never shows a message box.

#include "remote/ServedView.h"
#include "remote/WebConfig.h"
#include "remote/WebServer.h"
#include "view/ViewEvents.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

class CJournalModule;
class CMDIFrameWnd;
class CVelkorView;

class CWebModule : public CViewPublisher
{
public:
    CWebModule(CMDIFrameWnd* frame, CJournalModule* journal, const WebConfig& config,
               const WebServerLimits& limits = {});
    ~CWebModule() override;

    // Starts listening when the panel is enabled; a failure is reported on
    // standard error and in the status bar, and the program goes on without it.
    bool Start();
    void Stop();
    bool IsRunning() const { return m_server != nullptr; }
    quint16 Port() const { return m_nPort; }
    QString Url() const;
    QString LastStatus() const { return m_strStatus; }
    // The last Start() failed on something the program must not run with
    // (a certificate and key that do not belong together, ...).
    bool FailedFatally() const { return m_bFatal; }
    CVelkorView* View() const { return m_served.View(); }
    // For tests: the server object (lives on its own thread).
    CWebServer* Server() const { return m_server; }
    // A new password (from the settings) for the running server.
    void SetPassword(const WebPasswordHash& password);
    // The settings as they are now (SIGHUP): a new address, port or
    // certificate starts the server again; password, hosts and station are
    // taken over by the running one.
    void Reload(const WebConfig& config);
    // Watches the settings file: a password stored there by
    // korva --set-web-password while the program runs is taken within a
    // second or so. load reads the settings afresh.
    void WatchPassword(const QString& settingsFile, std::function<WebConfig()> load);

private:
    void Report(const QString& text, bool bWarning);
    bool MakeTls(std::optional<QSslConfiguration>& tls, QString& error);
    bool IsPublishing() const override { return m_server != nullptr; }
    void Publish() override;
    QVector<JournalEvent> NewJournalEvents();
    std::optional<SwitchResult> Switch(int nChannel, bool bOn);
    QJsonArray Journal(int nLimit) const;

    CMDIFrameWnd* m_frame;
    CJournalModule* m_journal;
    WebConfig m_config;
    WebServerLimits m_limits;
    std::unique_ptr<QObject> m_context; // the server's calls land here
    QThread m_thread;
    QObject* m_anchor = nullptr; // on the server's thread
    CWebServer* m_server = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stopping;
    quint16 m_nPort = 0;
    QString m_strStatus;
    bool m_bFatal = false;
    std::optional<quint64> m_nEventsSeen; // the journal's count, as far as handed over
    QFileSystemWatcher m_watcher;
    QTimer m_settle; // one reading after a burst of changes
    QString m_strSettingsFile;
    std::function<WebConfig()> m_load;
};
