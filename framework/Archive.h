#pragma once
// Little-endian binary archive over a QIODevice, with the length-prefixed
// single-byte strings of the saved-state format.

#include <QString>
#include <QtGlobal>
#include <stdexcept>

class QIODevice;

class CArchiveException : public std::runtime_error
{
public:
    enum Cause { endOfFile, badLength, writeFailed, readFailed };
    CArchiveException(Cause cause, const char* what) : std::runtime_error(what), m_cause(cause) {}
    Cause m_cause;
};

class CArchive
{
public:
    enum Mode { store, load };
    CArchive(QIODevice* device, Mode mode);

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    QIODevice* GetFile() const { return m_device; }

    CArchive& operator<<(quint32 v);
    CArchive& operator<<(qint32 v);
    CArchive& operator<<(double v);
    CArchive& operator<<(const QString& s);
    CArchive& operator>>(quint32& v);
    CArchive& operator>>(qint32& v);
    CArchive& operator>>(double& v);
    CArchive& operator>>(QString& s);

    void WriteByte(quint8 b);
    quint8 ReadByte();

private:
    void write(const char* data, qint64 n);
    void read(char* data, qint64 n);
    quint64 remaining() const;

    QIODevice* m_device;
    Mode m_mode;
};

// Windows-1252, the code page of the saved names; unmappable characters become '?'.
QByteArray ToWindows1252(const QString& s);
QString FromWindows1252(const QByteArray& bytes);
