#pragma once
// Settings of the web panel (group Web/), the --web option, and the stored
// password: only a salted PBKDF2 hash of it is kept.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

class QSettings;
class QTextStream;

struct WebPasswordHash
{
    QByteArray hash; // PBKDF2 with SHA-256
    QByteArray salt;
    int nIterations = 0;
    bool IsSet() const { return !hash.isEmpty() && !salt.isEmpty() && nIterations > 0; }
};

struct WebConfig
{
    static constexpr quint16 kDefaultPort = 8088;
    bool bEnabled = false;
    QString strAddress = QStringLiteral("127.0.0.1");
    quint16 nPort = kDefaultPort;
    QString strCertificate; // both set: HTTPS only
    QString strKey;
    QString strStation; // empty: the host name
    QStringList hosts;  // further names the panel is reached by (Web/hosts)
    WebPasswordHash password;

    bool UsesTls() const { return !strCertificate.isEmpty() || !strKey.isEmpty(); }
    QString Station() const;
    // What a request's Host may name, lower case: the configured address,
    // localhost, this machine's names and addresses, and hosts.
    QSet<QString> AllowedHosts() const;

    static WebConfig Load(QSettings& settings);
    // Applies the ADDRESS:PORT of --web (enables the panel for this run);
    // false, changing nothing, when the value is no address and port.
    bool ApplyListenArgument(const QString& value);
};

// "ADDRESS:PORT", "[v6]:PORT"; false for anything else.
bool ParseListenAddress(const QString& text, QString& address, quint16& port);

WebPasswordHash HashWebPassword(const QString& password, int nIterations = 100000);
bool CheckWebPassword(const QString& password, const WebPasswordHash& stored);
void StoreWebPassword(QSettings& settings, const WebPasswordHash& hash);

// --set-web-password: reads one line from in, stores its hash, reports on out
// and err. Returns the exit code.
int SetWebPassword(QSettings& settings, QTextStream& in, QTextStream& out, QTextStream& err);
// The same on the process's standard streams, without echo on a terminal.
int SetWebPasswordFromStdin(QSettings& settings);
