#include "framework/Archive.h"

#include <QIODevice>
#include <cstring>

namespace {

// 0x80 ... 0x9F of Windows-1252; 0 marks the five unassigned bytes.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QByteArray ToWindows1252(const QString& s)
{
    QByteArray out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        // The five unassigned bytes load as the control characters of the
        // same value; writing them back keeps a loaded name byte for byte.
        const bool unassigned = c >= 0x80 && c <= 0x9F && kHigh[c - 0x80] == 0;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || unassigned) {
            out.append(char(c));
            continue;
        }
        char mapped = '?';
        for (int j = 0; j < 32; ++j) {
            if (kHigh[j] != 0 && kHigh[j] == c) {
                mapped = char(0x80 + j);
                break;
            }
        }
        // A surrogate pair is one character: one '?'.
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        out.append(mapped);
    }
    return out;
}

QString FromWindows1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            out.append(QChar(kHigh[b - 0x80]));
        else
            out.append(QChar(char16_t(b)));
    }
    return out;
}

CArchive::CArchive(QIODevice* device, Mode mode) : m_device(device), m_mode(mode) {}

void CArchive::write(const char* data, qint64 n)
{
    Q_ASSERT(IsStoring());
    // A short write (full disk, size limit) must fail the save, not cut the file.
    if (m_device->write(data, n) != n)
        throw CArchiveException(CArchiveException::writeFailed, "write failed");
}

void CArchive::read(char* data, qint64 n)
{
    Q_ASSERT(IsLoading());
    qint64 done = 0;
    while (done < n) {
        const qint64 got = m_device->read(data + done, n - done);
        if (got < 0)
            throw CArchiveException(CArchiveException::readFailed, "read failed");
        if (got == 0)
            throw CArchiveException(CArchiveException::endOfFile, "unexpected end of file");
        done += got;
    }
}

quint64 CArchive::remaining() const
{
    if (m_device->isSequential())
        return quint64(m_device->bytesAvailable());
    const qint64 left = m_device->size() - m_device->pos();
    return left > 0 ? quint64(left) : 0;
}

void CArchive::WriteByte(quint8 b) { write(reinterpret_cast<const char*>(&b), 1); }

quint8 CArchive::ReadByte()
{
    quint8 b = 0;
    read(reinterpret_cast<char*>(&b), 1);
    return b;
}

CArchive& CArchive::operator<<(quint32 v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    write(b, 4);
    return *this;
}

CArchive& CArchive::operator<<(qint32 v) { return *this << quint32(v); }

CArchive& CArchive::operator<<(double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    char b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = char(bits >> (8 * i));
    write(b, 8);
    return *this;
}

CArchive& CArchive::operator<<(const QString& s)
{
    const QByteArray bytes = ToWindows1252(s);
    const quint64 n = quint64(bytes.size());
    if (n < 0xFF) {
        WriteByte(quint8(n));
    } else if (n < 0xFFFE) {
        WriteByte(0xFF);
        const char w[2] = {char(n), char(n >> 8)};
        write(w, 2);
    } else {
        WriteByte(0xFF);
        const char w[2] = {char(0xFF), char(0xFF)};
        write(w, 2);
        *this << quint32(n);
    }
    write(bytes.constData(), bytes.size());
    return *this;
}

CArchive& CArchive::operator>>(quint32& v)
{
    unsigned char b[4];
    read(reinterpret_cast<char*>(b), 4);
    v = quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
    return *this;
}

CArchive& CArchive::operator>>(qint32& v)
{
    quint32 u;
    *this >> u;
    v = qint32(u);
    return *this;
}

CArchive& CArchive::operator>>(double& v)
{
    unsigned char b[8];
    read(reinterpret_cast<char*>(b), 8);
    quint64 bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= quint64(b[i]) << (8 * i);
    std::memcpy(&v, &bits, 8);
    return *this;
}

CArchive& CArchive::operator>>(QString& s)
{
    quint64 n = ReadByte();
    if (n == 0xFF) {
        unsigned char w[2];
        read(reinterpret_cast<char*>(w), 2);
        n = quint64(w[0]) | quint64(w[1]) << 8;
        if (n == 0xFFFF) {
            quint32 n32;
            *this >> n32;
            n = n32;
        }
    }
    // A length beyond the end of the file is a cut-short file: refuse before allocating.
    if (n > remaining())
        throw CArchiveException(CArchiveException::badLength, "string longer than the rest of the file");
    QByteArray bytes(qsizetype(n), Qt::Uninitialized);
    read(bytes.data(), qint64(n));
    s = FromWindows1252(bytes);
    return *this;
}
