#include "remote/WebConfig.h"

#include <QCryptographicHash>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSettings>
#include <QTextStream>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kMinPasswordChars = 8;
constexpr int kKeyBytes = 32;
constexpr int kSaltBytes = 16;

QByteArray Derive(const QString& password, const QByteArray& salt, int nIterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              nIterations, kKeyBytes);
}

QByteArray RandomBytes(int n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes;
}

} // namespace

QString WebConfig::Station() const
{
    return strStation.isEmpty() ? QHostInfo::localHostName() : strStation;
}

QSet<QString> WebConfig::AllowedHosts() const
{
    QSet<QString> allowed;
    const auto add = [&allowed](QString h) {
        h = h.trimmed().toLower();
        if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']')))
            h = h.mid(1, h.size() - 2);
        while (h.endsWith(QLatin1Char('.')))
            h.chop(1);
        if (!h.isEmpty())
            allowed.insert(h);
    };
    for (const char* h : {"localhost", "127.0.0.1", "::1"})
        add(QLatin1String(h));
    add(strAddress);
    const QString name = QHostInfo::localHostName();
    add(name);
    add(name + QStringLiteral(".local"));
    if (!QHostInfo::localDomainName().isEmpty())
        add(name + QLatin1Char('.') + QHostInfo::localDomainName());
    for (QHostAddress a : QNetworkInterface::allAddresses()) {
        a.setScopeId(QString());
        add(a.toString());
    }
    for (const QString& h : hosts)
        add(h);
    return allowed;
}

WebConfig WebConfig::Load(QSettings& s)
{
    WebConfig c;
    s.beginGroup(QStringLiteral("Web"));
    c.bEnabled = s.value(QStringLiteral("enabled"), false).toBool();
    c.strAddress = s.value(QStringLiteral("address"), c.strAddress).toString().trimmed();
    bool ok = false;
    const uint port = s.value(QStringLiteral("port"), kDefaultPort).toUInt(&ok);
    c.nPort = ok && port <= 65535 ? quint16(port) : kDefaultPort;
    c.strCertificate = s.value(QStringLiteral("certificate")).toString();
    c.strKey = s.value(QStringLiteral("key")).toString();
    c.strStation = s.value(QStringLiteral("station")).toString();
    for (const QString& h : s.value(QStringLiteral("hosts")).toStringList())
        if (!h.trimmed().isEmpty())
            c.hosts << h.trimmed();
    c.password.hash = QByteArray::fromHex(s.value(QStringLiteral("passwordHash")).toByteArray());
    c.password.salt = QByteArray::fromHex(s.value(QStringLiteral("passwordSalt")).toByteArray());
    c.password.nIterations = s.value(QStringLiteral("passwordIterations"), 0).toInt();
    s.endGroup();
    return c;
}

bool WebConfig::ApplyListenArgument(const QString& value)
{
    QString address;
    quint16 port = 0;
    if (!ParseListenAddress(value, address, port))
        return false;
    strAddress = address;
    nPort = port;
    bEnabled = true;
    return true;
}

bool ParseListenAddress(const QString& text, QString& address, quint16& port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (!ok || p > 65535 || host.isEmpty())
        return false;
    address = host;
    port = quint16(p);
    return true;
}

WebPasswordHash HashWebPassword(const QString& password, int nIterations)
{
    WebPasswordHash h;
    h.salt = RandomBytes(kSaltBytes);
    h.nIterations = nIterations;
    h.hash = Derive(password, h.salt, nIterations);
    return h;
}

// Every byte is compared, so the time taken tells nothing about the password.
bool CheckWebPassword(const QString& password, const WebPasswordHash& stored)
{
    if (!stored.IsSet())
        return false;
    const QByteArray derived = Derive(password, stored.salt, stored.nIterations);
    if (derived.size() != stored.hash.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < derived.size(); ++i)
        diff |= static_cast<unsigned char>(derived[i] ^ stored.hash[i]);
    return diff == 0;
}

void StoreWebPassword(QSettings& s, const WebPasswordHash& h)
{
    s.beginGroup(QStringLiteral("Web"));
    s.setValue(QStringLiteral("passwordHash"), QString::fromLatin1(h.hash.toHex()));
    s.setValue(QStringLiteral("passwordSalt"), QString::fromLatin1(h.salt.toHex()));
    s.setValue(QStringLiteral("passwordIterations"), h.nIterations);
    s.endGroup();
    s.sync();
}

int SetWebPassword(QSettings& settings, QTextStream& in, QTextStream& out, QTextStream& err)
{
    QString password = in.readLine();
    if (password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    if (password.size() < kMinPasswordChars) {
        err << QStringLiteral("Das Passwort muss mindestens %1 Zeichen lang sein; es wurde nichts "
                              "gespeichert.")
                   .arg(kMinPasswordChars)
            << Qt::endl;
        return 1;
    }
    StoreWebPassword(settings, HashWebPassword(password));
    if (settings.status() != QSettings::NoError) {
        err << QStringLiteral("Das Passwort konnte nicht gespeichert werden (%1).")
                   .arg(settings.fileName())
            << Qt::endl;
        return 1;
    }
    out << QStringLiteral("Das Passwort für das Web-Panel wurde gespeichert.") << Qt::endl;
    return 0;
}

int SetWebPasswordFromStdin(QSettings& settings)
{
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        err << QStringLiteral("Passwort für das Web-Panel: ") << Qt::flush;
    }
    const int rc = SetWebPassword(settings, in, out, err);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err << Qt::endl;
    }
    return rc;
}
