#pragma once
// What the web panel checks of a request before Qt's HTTP server parses it,
// and how its answers are written. Qt's server has no limits of its own, so
// the request head is looked at here first: its size, the version, the Host,
// and the framing of the body. This is a screen, not a parser: a head that
// passes is handed on unchanged.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct HeadRules
{
    int nMaxRequestLine = 8 * 1024;
    int nMaxHead = 16 * 1024;
    qint64 nMaxBody = 16 * 1024;
    QSet<QString> hosts; // allowed Host names, lower case; empty: any
};

struct HeadVerdict
{
    int nStatus = 0; // 0: passes
    QString strText; // German, for the answer's body
};

// One connection's requests in order: heads are checked, bodies counted past.
class CRequestScreen
{
public:
    // The bytes that arrived since the last call. False when the connection
    // is to be answered with Verdict() and closed.
    bool Feed(const QByteArray& bytes, const HeadRules& rules);
    const HeadVerdict& Verdict() const { return m_verdict; }
    // A request has begun and is not complete yet.
    bool InRequest() const { return !m_head.isEmpty() || m_nBodyLeft > 0; }

private:
    QByteArray m_head;
    qint64 m_nBodyLeft = 0;
    HeadVerdict m_verdict;
};

// A complete head (up to and without the empty line). nBody: the length of
// the body that follows.
HeadVerdict CheckHead(const QByteArray& head, const HeadRules& rules, qint64& nBody);
// The host of a Host header, lower case, without port, brackets or final dot.
QString HostOfHeader(const QByteArray& value);

QByteArray ReasonPhrase(int nStatus);
// A complete answer; with bHead the body is announced but left out.
QByteArray HttpResponseBytes(int nStatus, const HttpHeaders& headers, const QByteArray& body,
                             bool bHead = false);
// {"error": text} with Connection: close.
QByteArray HttpErrorBytes(int nStatus, const QString& text, const HttpHeaders& extra = {});
