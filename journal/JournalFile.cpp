#include "journal/JournalFile.h"

#include "journal/Csv.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

CJournalFile::CJournalFile(const QString& path, qint64 maxBytes)
    : m_path(path), m_maxBytes(maxBytes)
{
}

QString CJournalFile::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/KORVA_Powermanagement/Ereignisprotokoll.csv");
}

bool CJournalFile::Open()
{
    if (m_file.isOpen())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    QByteArray start;
    if (m_file.size() == 0) {
        start = CsvLine(JournalFileHeader(), u';').toUtf8() + '\n';
    } else {
        // A line cut by a crash must not swallow the next event.
        QFile reader(m_path);
        if (reader.open(QIODevice::ReadOnly) && reader.seek(reader.size() - 1) &&
            reader.read(1) != "\n")
            start = "\n";
    }
    if (!start.isEmpty() && (m_file.write(start) != start.size() || !m_file.flush())) {
        m_file.close();
        return false;
    }
    m_nSize = m_file.size();
    return true;
}

bool CJournalFile::Rotate()
{
    m_file.close();
    QFile::remove(RotatedPath());
    return QFile::rename(m_path, RotatedPath());
}

bool CJournalFile::Append(const JournalEvent& ev)
{
    const QByteArray line = JournalFileLine(ev).toUtf8() + '\n';
    if (!Open())
        return false;
    if (m_nSize > 0 && m_nSize + line.size() > m_maxBytes) {
        if (!Rotate() || !Open())
            return false;
    }
    const qint64 expected = m_nSize + line.size();
    // A full disk cuts the line without an error: only the size tells.
    if (m_file.write(line) != line.size() || !m_file.flush() ||
        (m_nSize = m_file.size()) != expected) {
        // Try afresh next time (the disk may have room again); reopening
        // ends the cut line first.
        m_file.close();
        return false;
    }
    return true;
}

void CJournalFile::LoadFile(const QString& path, LoadResult& result)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    bool first = true;
    while (!f.atEnd()) {
        QByteArray raw = f.readLine(64 * 1024);
        const bool complete = raw.endsWith('\n');
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        if (!complete && !f.atEnd()) {
            // An overlong line: skip the rest of it.
            while (!f.atEnd() && !f.readLine(64 * 1024).endsWith('\n')) {
            }
            ++result.skipped;
            first = false;
            continue;
        }
        const bool isHeader = first && IsJournalFileHeader(QString::fromUtf8(raw));
        first = false;
        if (isHeader || raw.isEmpty())
            continue;
        const auto ev = ParseJournalFileLine(QString::fromUtf8(raw));
        if (ev)
            result.events.append(*ev);
        else
            ++result.skipped;
    }
}

CJournalFile::LoadResult CJournalFile::Load() const
{
    LoadResult result;
    LoadFile(RotatedPath(), result);
    LoadFile(m_path, result);
    return result;
}
