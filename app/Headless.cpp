#include "app/Headless.h"
#include "app/Signals.h"

#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/Logging.h"
#include "framework/WinApp.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korva_headless {

QString DefaultFile()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(base).filePath(QStringLiteral("KORVA_Powermanagement/anlage.sav"));
}

int SaveIntervalSeconds(int nGiven, int nSetting)
{
    constexpr int kDefault = 300;
    constexpr int kMinimum = 10;
    const int n = nGiven > 0 ? nGiven : nSetting > 0 ? nSetting : kDefault;
    return qMax(n, kMinimum);
}

int DefaultAnswer(unsigned type)
{
    switch (type & MB_TYPEMASK) {
    case MB_YESNOCANCEL:
    case MB_YESNO:
        return IDYES;
    default:
        return IDOK;
    }
}

} // namespace korva_headless

using namespace korva_headless;

CHeadlessSink::CHeadlessSink(std::function<void(const QString&)> log) : m_log(std::move(log)) {}

int CHeadlessSink::MessageBox(QWidget*, const QString& text, const QString& caption, unsigned type)
{
    // One line each, so the system journal keeps a message together.
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString out = caption.isEmpty() ? line : caption + QStringLiteral(": ") + line;
    // What a window would have asked or told: the operator should see it.
    qCWarning(lcApp).noquote() << out;
    if (m_log)
        m_log(out);
    return DefaultAnswer(type);
}

CHeadlessRunner::CHeadlessRunner(CWinApp& app, int nSaveIntervalSeconds)
    : m_app(app), m_nIntervalMs(nSaveIntervalSeconds * 1000)
{
    m_saveTimer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { OnSaveTimer(); });
    InstallSignalHandlers();
}

CHeadlessRunner::~CHeadlessRunner() = default;

void CHeadlessRunner::InstallSignalHandlers()
{
    // SIGQUIT too: it would leave a core and no saved file.
    m_endSignal = std::make_unique<CSignalCall>(
        std::initializer_list<int>{SIGTERM, SIGINT, SIGQUIT}, [this] { Shutdown(); }, true);
}

CDocument* CHeadlessRunner::Document() const
{
    CDocTemplate* t = m_app.DocTemplate();
    if (!t || t->Documents().isEmpty())
        return nullptr;
    return t->Documents().first();
}

bool CHeadlessRunner::Start(const QString& fileName)
{
    CDocTemplate* t = m_app.DocTemplate();
    if (!t)
        return false;
    QString path = fileName.isEmpty() ? DefaultFile() : fileName;
    CDocument* doc = nullptr;
    if (!fileName.isEmpty() || QFileInfo::exists(path)) {
        doc = m_app.OpenDocumentFile(path);
    } else {
        QDir().mkpath(QFileInfo(path).absolutePath());
        doc = t->OpenDocumentFile(QString(), m_app.m_pMainWnd);
        // The file exists from the first minute on, so a crash keeps the set-up.
        if (doc && !doc->DoSave(path))
            qCWarning(lcApp, "%s wird später erneut gespeichert.",
                      qUtf8Printable(QDir::toNativeSeparators(path)));
        if (doc && doc->GetPathName().isEmpty())
            doc->SetPathName(path, false);
    }
    if (!doc)
        return false;
    m_saveTimer.start(m_nIntervalMs);
    qCInfo(lcApp, "unbeaufsichtigt mit %s, gespeichert alle %d s",
           qUtf8Printable(QDir::toNativeSeparators(doc->GetPathName())), m_nIntervalMs / 1000);
    return true;
}

bool CHeadlessRunner::SaveNow()
{
    CDocument* doc = Document();
    if (!doc || doc->GetPathName().isEmpty())
        return false;
    // The framework reports a failure through the sink; the old file stays.
    return doc->OnSaveDocument(doc->GetPathName());
}

void CHeadlessRunner::OnSaveTimer()
{
    const bool ok = SaveNow();
    const int next = ok ? m_nIntervalMs : qMin(m_nIntervalMs, kRetrySeconds * 1000);
    if (m_saveTimer.interval() != next)
        m_saveTimer.start(next);
}

void CHeadlessRunner::Shutdown()
{
    if (m_bShuttingDown)
        return;
    m_bShuttingDown = true;
    m_saveTimer.stop();
    SaveNow();
    // Saved (or reported): nothing left to ask about.
    if (CDocTemplate* t = m_app.DocTemplate())
        for (CDocument* d : t->Documents())
            d->SetModifiedFlag(false);
    m_app.CloseAllDocuments();
    QCoreApplication::quit();
}
