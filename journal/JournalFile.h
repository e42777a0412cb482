#pragma once
// The journal on disk: one CSV line per event, appended and flushed at once so
// that it survives a crash; rotated to one ".1" file at a size bound.

#include "journal/JournalEvent.h"

#include <QFile>
#include <QString>
#include <QVector>

class CJournalFile
{
public:
    static constexpr qint64 kDefaultMaxBytes = 1024 * 1024;

    explicit CJournalFile(const QString& path, qint64 maxBytes = kDefaultMaxBytes);

    // Appends and flushes one line; false when the file cannot be written.
    bool Append(const JournalEvent& ev);

    struct LoadResult
    {
        QVector<JournalEvent> events; // oldest first, the rotated file first
        int skipped = 0;              // damaged or foreign lines
        bool bOlderLeftOut = false;   // the files hold more than LoadBound()
    };
    // Reads the newest LoadBound() bytes of the rotated and the current file:
    // all the program itself ever keeps, however large a file put in place.
    LoadResult Load() const;
    qint64 LoadBound() const { return 2 * m_maxBytes; }

    QString Path() const { return m_path; }
    QString RotatedPath() const { return m_path + QStringLiteral(".1"); }
    // Where the program keeps its journal: the user's data directory.
    static QString DefaultPath();

private:
    bool Open();
    bool Rotate();
    // The last budget bytes of a file, starting at a line; cut tells whether
    // older lines were left out.
    static QByteArray ReadTail(const QString& path, qint64 budget, bool& cut);
    static void ParseLines(const QByteArray& data, bool bHeaderFirst, LoadResult& result);

    QString m_path;
    qint64 m_maxBytes;
    QFile m_file;
    qint64 m_nSize = 0; // of the open file, kept to spare a stat per event
};
