#include "remote/WebHttp.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QByteArray kEnd = QByteArrayLiteral("\r\n\r\n");

bool IsToken(const QByteArray& s)
{
    if (s.isEmpty())
        return false;
    for (const char c : s) {
        if (c <= ' ' || c >= 127 || c == ':' || c == '(' || c == ')' || c == ',' || c == '/' ||
            c == ';' || c == '"' || c == '[' || c == ']' || c == '{' || c == '}' || c == '=')
            return false;
    }
    return true;
}

HeadVerdict Refused(int status, const QString& text)
{
    return {status, text};
}

const QByteArrayList kMethods = {"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PATCH"};

} // namespace

bool CRequestScreen::Feed(const QByteArray& input, const HeadRules& rules)
{
    QByteArray bytes = input;
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (m_nBodyLeft > 0) {
            const qint64 skip = std::min<qint64>(m_nBodyLeft, bytes.size() - at);
            m_nBodyLeft -= skip;
            at += skip;
            continue;
        }
        // Empty lines between requests are allowed before a request line.
        if (m_head.isEmpty()) {
            while (at < bytes.size() && (bytes[at] == '\r' || bytes[at] == '\n'))
                ++at;
            if (at == bytes.size())
                break;
        }
        // Looks back three bytes so an end split over two reads is found.
        const qsizetype from = std::max<qsizetype>(0, m_head.size() - 3);
        m_head += bytes.mid(at);
        at = bytes.size();
        const qsizetype end = m_head.indexOf(kEnd, from);
        const qsizetype limit = end < 0 ? m_head.size() : end;
        const qsizetype lineEnd = m_head.indexOf("\r\n");
        if ((lineEnd < 0 ? limit : lineEnd) > rules.nMaxRequestLine) {
            m_verdict = Refused(414, QStringLiteral("Die Anfragezeile ist zu lang."));
            return false;
        }
        if (limit > rules.nMaxHead) {
            m_verdict = Refused(431, QStringLiteral("Die Kopfzeilen der Anfrage sind zu groß."));
            return false;
        }
        if (end < 0)
            break;
        qint64 body = 0;
        m_verdict = CheckHead(m_head.left(end), rules, body);
        if (m_verdict.nStatus != 0)
            return false;
        // What came after the head is the body and maybe the next request.
        bytes = m_head.mid(end + kEnd.size());
        at = 0;
        m_head.clear();
        m_nBodyLeft = body;
    }
    return true;
}

QString HostOfHeader(const QByteArray& value)
{
    QString host = QString::fromLatin1(value.trimmed()).toLower();
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        return close < 0 ? QString() : host.mid(1, close - 1);
    }
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon >= 0)
        host.truncate(colon);
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host;
}

HeadVerdict CheckHead(const QByteArray& head, const HeadRules& rules, qint64& nBody)
{
    nBody = 0;
    const QByteArrayList lines = head.split('\n');
    QByteArray first = lines.first();
    if (lines.size() > 1) {
        if (!first.endsWith('\r'))
            return Refused(400, QStringLiteral("Die Anfrage ist ungültig."));
        first.chop(1);
    }
    const QByteArrayList request = first.split(' ');
    if (request.size() != 3 || request[1].isEmpty())
        return Refused(400, QStringLiteral("Die Anfrage ist ungültig."));
    if (request[2] != "HTTP/1.1" && request[2] != "HTTP/1.0")
        return request[2].startsWith("HTTP/")
                   ? Refused(505, QStringLiteral("Diese HTTP-Version wird nicht unterstützt."))
                   : Refused(400, QStringLiteral("Die Anfrage ist ungültig."));
    if (!kMethods.contains(request[0]))
        return Refused(501, QStringLiteral("Diese Methode wird nicht unterstützt."));

    QByteArrayList hosts, lengths;
    bool chunked = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // Every line but the last (cut before its CRLF) ends in CR.
        QByteArray line = lines[i];
        if (i + 1 < lines.size() && !line.endsWith('\r'))
            return Refused(400, QStringLiteral("Die Anfrage ist ungültig."));
        if (i + 1 < lines.size())
            line.chop(1);
        const qsizetype colon = line.indexOf(':');
        // A folded line or a name with spaces is read differently by others.
        if (colon <= 0 || !IsToken(line.left(colon)))
            return Refused(400, QStringLiteral("Eine Kopfzeile der Anfrage ist ungültig."));
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "host")
            hosts << value;
        else if (name == "content-length")
            lengths << value;
        else if (name == "transfer-encoding")
            chunked = true;
    }
    if (chunked && !lengths.isEmpty())
        return Refused(400, QStringLiteral("Transfer-Encoding und Content-Length zugleich sind "
                                           "nicht erlaubt."));
    if (chunked)
        return Refused(411, QStringLiteral("Die Anfrage braucht eine Content-Length."));
    for (const QByteArray& l : lengths) {
        bool ok = !l.isEmpty() && l.size() <= 18 &&
                  std::all_of(l.begin(), l.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!ok || (nBody != 0 && l.toLongLong() != nBody))
            return Refused(400, QStringLiteral("Content-Length ist ungültig."));
        nBody = l.toLongLong();
    }
    if (nBody > rules.nMaxBody)
        return Refused(413, QStringLiteral("Die Anfrage ist zu groß."));
    if (hosts.size() > 1 || (hosts.isEmpty() && request[2] == "HTTP/1.1"))
        return Refused(400, QStringLiteral("Die Anfrage braucht genau eine Host-Zeile."));
    if (!hosts.isEmpty() && !rules.hosts.isEmpty()) {
        const QString host = HostOfHeader(hosts.first());
        if (!rules.hosts.contains(host))
            return Refused(421, QStringLiteral("Der Host \u201E%1\u201C gehört nicht zu diesem "
                                               "Web-Panel (weitere Namen in Web/hosts).")
                                    .arg(host.left(100)));
    }
    return {};
}

QByteArray ReasonPhrase(int nStatus)
{
    switch (nStatus) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 421: return "Misdirected Request";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return nStatus < 300 ? "OK" : nStatus < 500 ? "Client Error" : "Server Error";
    }
}

QByteArray HttpResponseBytes(int nStatus, const HttpHeaders& headers, const QByteArray& body,
                             bool bHead)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(nStatus) + ' ' + ReasonPhrase(nStatus) +
                     "\r\n";
    for (const auto& [name, value] : headers)
        out += name + ": " + value + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    if (!bHead)
        out += body;
    return out;
}

QByteArray HttpErrorBytes(int nStatus, const QString& text, const HttpHeaders& extra)
{
    HttpHeaders headers{{"Content-Type", "application/json"},
                        {"Cache-Control", "no-store"},
                        {"Connection", "close"}};
    headers += extra;
    return HttpResponseBytes(
        nStatus, headers,
        QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson(QJsonDocument::Compact));
}
