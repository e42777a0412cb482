#include "journal/JournalFile.h"

#include "journal/Csv.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

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

namespace {

// A record whose quoted field runs over line breaks is searched for no
// further than this, so a stray quote costs little.
constexpr qsizetype kMaxRecordBytes = 64 * 1024;

// The end ('\n' outside quotes, or the end of data) of the record that starts
// at pos, when it is found within the bound; -1 otherwise.
qsizetype RecordEnd(const QByteArray& data, qsizetype pos)
{
    bool inQuotes = false;
    const qsizetype limit = std::min(data.size(), pos + kMaxRecordBytes);
    for (qsizetype i = pos; i < limit; ++i) {
        const char c = data[i];
        if (c == '"')
            inQuotes = !inQuotes;
        else if (c == '\n' && !inQuotes)
            return i;
    }
    // The last record may lack its line feed.
    return limit == data.size() && !inQuotes ? limit : -1;
}

bool OpensQuote(const char* begin, const char* end)
{
    return std::count(begin, end, '"') % 2 != 0;
}

// The text from..to without the CR of a CR LF line end.
QString Record(const QByteArray& data, qsizetype from, qsizetype to)
{
    while (to > from && data[to - 1] == '\r')
        --to;
    return QString::fromUtf8(data.constData() + from, to - from);
}

} // namespace

QByteArray CJournalFile::ReadTail(const QString& path, qint64 budget, bool& cut)
{
    cut = false;
    QFile f(path);
    if (budget <= 0 || !f.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = f.size();
    if (size <= budget)
        return f.readAll();
    // One byte more, to see whether the tail starts at a line.
    cut = true;
    if (!f.seek(size - budget - 1))
        return {};
    QByteArray data = f.read(budget + 1);
    const qsizetype nl = data.indexOf('\n');
    data.remove(0, nl < 0 ? data.size() : nl + 1);
    return data;
}

// Records end at a line feed outside quotes, so names with line breaks read
// back whole. A quote left open (a line cut by a crash) must not swallow the
// events after it: such a line is then taken on its own and skipped.
void CJournalFile::ParseLines(const QByteArray& data, bool bHeaderFirst, LoadResult& result)
{
    const char* const base = data.constData();
    qsizetype pos = 0;
    bool first = bHeaderFirst;
    while (pos < data.size()) {
        qsizetype lineEnd = data.indexOf('\n', pos);
        if (lineEnd < 0)
            lineEnd = data.size();
        if (OpensQuote(base + pos, base + lineEnd)) {
            const qsizetype end = RecordEnd(data, pos);
            if (end > lineEnd) {
                if (const auto ev = ParseJournalFileLine(Record(data, pos, end))) {
                    result.events.append(*ev);
                    pos = end + 1;
                    first = false;
                    continue;
                }
            }
        }
        const QString line = Record(data, pos, lineEnd);
        const bool isHeader = first && IsJournalFileHeader(line);
        first = false;
        if (!isHeader && !line.isEmpty()) {
            if (const auto ev = ParseJournalFileLine(line))
                result.events.append(*ev);
            else
                ++result.skipped;
        }
        pos = lineEnd + 1;
    }
}

CJournalFile::LoadResult CJournalFile::Load() const
{
    LoadResult result;
    bool cut = false;
    const QByteArray current = ReadTail(m_path, LoadBound(), cut);
    const qint64 left = cut ? 0 : LoadBound() - current.size();
    bool cutRotated = false;
    const QByteArray rotated = ReadTail(RotatedPath(), left, cutRotated);
    result.bOlderLeftOut = cut || cutRotated || (left <= 0 && QFileInfo(RotatedPath()).size() > 0);
    ParseLines(rotated, !cutRotated, result);
    ParseLines(current, !cut, result);
    return result;
}
