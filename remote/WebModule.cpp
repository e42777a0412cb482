#include "remote/WebModule.h"

#include "framework/Logging.h"
#include "framework/MDIFrame.h"
#include "journal/JournalModule.h"
#include "remote/WebJson.h"
#include "view/VelkorView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslCipher>
#include <QSslCertificate>
#include <QSslKey>
#include <QStatusBar>
#include <cstdio>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace {

const QString kOrigin = QStringLiteral("Web");

// TLS 1.3 has only AEAD suites; of TLS 1.2 only forward-secret ECDHE with
// AES-GCM or ChaCha20-Poly1305 stays.
QList<QSslCipher> StrongCiphers(const QList<QSslCipher>& offered)
{
    QList<QSslCipher> strong;
    for (const QSslCipher& c : offered) {
        const QString name = c.name();
        const bool aead = name.contains(QLatin1String("GCM")) ||
                          name.contains(QLatin1String("CHACHA20"));
        if (c.protocol() == QSsl::TlsV1_3 ||
            (c.protocol() == QSsl::TlsV1_2 && name.startsWith(QLatin1String("ECDHE-")) && aead))
            strong.append(c);
    }
    return strong;
}

// The private key is the one the certificate's public key belongs to.
bool KeyFitsCertificate(const QByteArray& certPem, const QByteArray& keyPem)
{
    BIO* certBio = BIO_new_mem_buf(certPem.constData(), int(certPem.size()));
    BIO* keyBio = BIO_new_mem_buf(keyPem.constData(), int(keyPem.size()));
    X509* cert = certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY* key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
    const bool fits = cert && key && X509_check_private_key(cert, key) == 1;
    EVP_PKEY_free(key);
    X509_free(cert);
    BIO_free(keyBio);
    BIO_free(certBio);
    ERR_clear_error();
    return fits;
}

QHostAddress ListenAddress(const QString& text)
{
    if (text.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    if (text == QLatin1String("*"))
        return QHostAddress(QHostAddress::Any);
    return QHostAddress(text);
}

} // namespace

CWebModule::CWebModule(CMDIFrameWnd* frame, CJournalModule* journal, const WebConfig& config,
                       const WebServerLimits& limits)
    : m_frame(frame), m_journal(journal), m_config(config), m_limits(limits),
      m_context(std::make_unique<QObject>()), m_stopping(std::make_shared<std::atomic<bool>>(false))
{
    m_config.strStation = m_config.Station();
    AddViewListener(this);
}

CWebModule::~CWebModule()
{
    RemoveViewListener(this);
    Stop();
}

QString CWebModule::Url() const
{
    QString host = m_config.strAddress;
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1://%2:%3/")
        .arg(m_config.UsesTls() ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(m_nPort);
}

void CWebModule::Report(const QString& text, bool bWarning)
{
    m_strStatus = text;
    if (bWarning)
        qCWarning(lcWeb).noquote() << text;
    if (m_frame)
        m_frame->statusBar()->showMessage(text);
}

bool CWebModule::MakeTls(std::optional<QSslConfiguration>& tls, QString& error)
{
    if (!m_config.UsesTls())
        return true;
    const QString certName = QDir::toNativeSeparators(m_config.strCertificate);
    const QString keyName = QDir::toNativeSeparators(m_config.strKey);
    // Whatever is wrong with the pair, the panel would only fail each
    // handshake later: the program stops at once instead.
    m_bFatal = true;
    QFile certFile(m_config.strCertificate);
    QFile keyFile(m_config.strKey);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Zertifikat \u201E%1\u201C oder Schlüssel \u201E%2\u201C kann nicht "
                               "gelesen werden").arg(certName, keyName);
        return false;
    }
    const QByteArray certData = certFile.readAll();
    const QByteArray keyData = keyFile.readAll();
    const QList<QSslCertificate> certs = QSslCertificate::fromData(certData);
    QSslKey key(keyData, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(keyData, QSsl::Ec);
    if (certs.isEmpty() || key.isNull()) {
        error = QStringLiteral("Zertifikat \u201E%1\u201C oder Schlüssel \u201E%2\u201C ist ungültig")
                    .arg(certName, keyName);
        return false;
    }
    if (!KeyFitsCertificate(certData, keyData)) {
        error = QStringLiteral("Zertifikat \u201E%1\u201C und Schlüssel \u201E%2\u201C gehören nicht "
                               "zusammen").arg(certName, keyName);
        return false;
    }
    m_bFatal = false;
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setLocalCertificateChain(certs);
    conf.setPrivateKey(key);
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    conf.setProtocol(QSsl::TlsV1_2OrLater);
    conf.setCiphers(StrongCiphers(conf.ciphers()));
    tls = conf;
    return true;
}

bool CWebModule::Start()
{
    if (!m_config.bEnabled || m_server)
        return m_server != nullptr;
    m_bFatal = false;
    const QHostAddress address = ListenAddress(m_config.strAddress);
    std::optional<QSslConfiguration> tls;
    QString error;
    if (address.isNull())
        error = QStringLiteral("ungültige Adresse \u201E%1\u201C").arg(m_config.strAddress);
    else
        MakeTls(tls, error);

    if (error.isEmpty()) {
        *m_stopping = false;
        WebBackend backend;
        backend.context = m_context.get();
        backend.stopping = m_stopping;
        backend.switchChannel = [this](int k, bool on) { return Switch(k, on); };
        backend.journal = [this](int n) { return Journal(n); };
        const QSet<QString> hosts = m_config.AllowedHosts();
        m_thread.setObjectName(QStringLiteral("korva-web"));
        m_thread.start();
        m_anchor = new QObject;
        m_anchor->moveToThread(&m_thread);
        // The server is made on its own thread so that everything it owns lives there.
        QMetaObject::invokeMethod(
            m_anchor,
            [&] {
                auto* server = new CWebServer(backend, m_config.password, m_limits);
                server->SetHosts(hosts);
                if (server->Listen(address, m_config.nPort, tls, &error))
                    m_server = server;
                else
                    delete server;
            },
            Qt::BlockingQueuedConnection);
        if (!m_server)
            Stop();
    }
    if (!m_server && m_bFatal) {
        Report(QStringLiteral("Fehler: Das Web-Panel kann nicht starten: %1.").arg(error), true);
        return false;
    }
    if (!m_server) {
        Report(QStringLiteral("Warnung: Das Web-Panel kann nicht auf %1:%2 starten (%3); das "
                              "Programm läuft ohne es weiter.")
                   .arg(m_config.strAddress)
                   .arg(m_config.nPort)
                   .arg(error),
               true);
        return false;
    }
    m_nPort = m_server->Port();
    if (!tls && !address.isLoopback())
        Report(QStringLiteral("Warnung: Das Web-Panel ist unter %1 ohne TLS über das Netz "
                              "erreichbar; Passwort und Sitzung gehen unverschlüsselt.")
                   .arg(Url()),
               true);
    Report(QStringLiteral("Web-Panel: %1").arg(Url()), false);
    m_nEventsSeen.reset(); // a new server starts with the recent events
    if (m_served.View())
        SchedulePublish();
    return true;
}

void CWebModule::Stop()
{
    *m_stopping = true; // a request waiting for this thread gives up
    if (m_anchor) {
        CWebServer* server = m_server;
        m_server = nullptr;
        QMetaObject::invokeMethod(
            m_anchor, [server] { delete server; }, Qt::BlockingQueuedConnection);
        QMetaObject::invokeMethod(m_anchor, &QObject::deleteLater, Qt::QueuedConnection);
        m_anchor = nullptr;
    }
    m_thread.quit();
    m_thread.wait();
    m_nPort = 0;
}

void CWebModule::SetPassword(const WebPasswordHash& password)
{
    m_config.password = password;
    if (CWebServer* server = m_server)
        QMetaObject::invokeMethod(
            server, [server, password] { server->SetPassword(password); }, Qt::QueuedConnection);
}

void CWebModule::Reload(const WebConfig& config)
{
    WebConfig next = config;
    next.strStation = next.Station();
    const bool relisten = next.bEnabled != m_config.bEnabled ||
                          next.strAddress != m_config.strAddress || next.nPort != m_config.nPort ||
                          next.strCertificate != m_config.strCertificate ||
                          next.strKey != m_config.strKey;
    if (relisten) {
        Stop();
        m_config = next;
        Start();
        return;
    }
    m_config = next;
    SetPassword(next.password);
    if (CWebServer* server = m_server)
        QMetaObject::invokeMethod(
            server, [server, hosts = next.AllowedHosts()] { server->SetHosts(hosts); },
            Qt::QueuedConnection);
}

void CWebModule::WatchPassword(const QString& settingsFile, std::function<WebConfig()> load)
{
    m_strSettingsFile = settingsFile;
    m_load = std::move(load);
    // Settings are written to a new file that replaces the old one: the
    // folder is watched as well, and the file again after each change.
    const QFileInfo info(settingsFile);
    QDir().mkpath(info.absolutePath());
    m_watcher.addPath(info.absolutePath());
    if (info.exists())
        m_watcher.addPath(settingsFile);
    m_settle.setSingleShot(true);
    m_settle.setInterval(200);
    const auto changed = [this] { m_settle.start(); };
    QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, changed);
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, changed);
    QObject::connect(&m_settle, &QTimer::timeout, &m_settle, [this] {
        if (QFileInfo::exists(m_strSettingsFile) && !m_watcher.files().contains(m_strSettingsFile))
            m_watcher.addPath(m_strSettingsFile);
        const WebPasswordHash fresh = m_load().password;
        if (fresh.hash != m_config.password.hash || fresh.salt != m_config.password.salt ||
            fresh.nIterations != m_config.password.nIterations)
            SetPassword(fresh);
    });
}

// ---- the served view ----

void CWebModule::Publish()
{
    if (!m_server || !m_served.View())
        return;
    m_server->Offer(TakeSnapshot(*m_served.View(), m_config.strStation), NewJournalEvents());
}

// The journal's events after the last ones handed over; the first time, the
// page's share of what the journal holds.
QVector<JournalEvent> CWebModule::NewJournalEvents()
{
    if (!m_journal)
        return {};
    if (!m_nEventsSeen) {
        m_nEventsSeen = m_journal->Recorded();
        return m_journal->Events().mid(
            std::max<qsizetype>(0, m_journal->Events().size() - CWebServer::kRecentEvents));
    }
    const quint64 seen = *m_nEventsSeen;
    m_nEventsSeen = m_journal->Recorded();
    return m_journal->RecordedSince(seen, CWebServer::kRecentEvents);
}

std::optional<SwitchResult> CWebModule::Switch(int nChannel, bool bOn)
{
    if (!m_served.View())
        return std::nullopt;
    return nChannel == 0 ? SwitchAll(*m_served.View(), bOn, kOrigin)
                         : SwitchChannel(*m_served.View(), nChannel, bOn, kOrigin);
}

QJsonArray CWebModule::Journal(int nLimit) const
{
    return m_journal ? JournalJson(m_journal->Events(), nLimit) : QJsonArray();
}
