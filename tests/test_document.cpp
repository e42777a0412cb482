// The document's defaults and its ".sav" file: exact bytes, field order,
// name prefixes and code page, refusal of damaged files, and saves that fail
// without harming the old file.

#include "doc/VelkorDoc.h"
#include "framework/Archive.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "helpers/TestSink.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <sys/stat.h>
#include <thread>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Builds expected file contents without going through CArchive.
class Bytes
{
public:
    Bytes& hex(const char* text)
    {
        m_data += QByteArray::fromHex(QByteArray(text).replace(' ', ""));
        return *this;
    }
    Bytes& raw(const QByteArray& b)
    {
        m_data += b;
        return *this;
    }
    Bytes& u8(quint8 v)
    {
        m_data += char(v);
        return *this;
    }
    Bytes& f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        const quint64 le = qToLittleEndian(bits);
        m_data += QByteArray(reinterpret_cast<const char*>(&le), 8);
        return *this;
    }
    Bytes& zeros(int n)
    {
        m_data += QByteArray(n, '\0');
        return *this;
    }
    QByteArray data() const { return m_data; }

private:
    QByteArray m_data;
};

std::unique_ptr<CVelkorDoc> NewDoc()
{
    auto doc = std::make_unique<CVelkorDoc>();
    if (!doc->OnNewDocument())
        qFatal("OnNewDocument failed");
    return doc;
}

QByteArray Save(CVelkorDoc& doc)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    CArchive ar(&buf, CArchive::store);
    doc.Serialize(ar);
    return buf.data();
}

// Loads bytes; returns the archive's failure cause, or -1 on success.
int Load(CVelkorDoc& doc, const QByteArray& bytes)
{
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    CArchive ar(&buf, CArchive::load);
    try {
        doc.Serialize(ar);
    } catch (const CArchiveException& e) {
        return e.m_cause;
    }
    return -1;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every member, doubles compared bit for bit.
bool SameContents(const CVelkorDoc& a, const CVelkorDoc& b)
{
    for (int i = 0; i < 16; ++i) {
        if (a.m_strName[i] != b.m_strName[i] ||
            !SameBits(a.m_dMaximalstrom[i], b.m_dMaximalstrom[i]) ||
            !SameBits(a.m_dAlarmstrom[i], b.m_dAlarmstrom[i]) ||
            !SameBits(a.m_dAbschaltstrom[i], b.m_dAbschaltstrom[i]) ||
            !SameBits(a.m_dHysterese[i], b.m_dHysterese[i]) ||
            !SameBits(a.m_dVerbrauch[i], b.m_dVerbrauch[i]))
            return false;
    }
    return a.m_nAbfragezeit == b.m_nAbfragezeit && a.m_nTimerzeit == b.m_nTimerzeit &&
           SameBits(a.m_dGesamtverbrauch, b.m_dGesamtverbrauch) &&
           a.m_nStartWert == b.m_nStartWert && a.m_nStopWert == b.m_nStopWert &&
           a.m_nStartRadio == b.m_nStartRadio && a.m_nStopRadio == b.m_nStopRadio;
}

double At(const QByteArray& file, qsizetype offset)
{
    quint64 bits = qFromLittleEndian<quint64>(file.constData() + offset);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

qint32 I32At(const QByteArray& file, qsizetype offset)
{
    return qFromLittleEndian<qint32>(file.constData() + offset);
}

QByteArray NewDocumentFile()
{
    Bytes b;
    b.hex("1E 00 00 00 E8 03 00 00").u8(9).raw("Booster A");
    b.hex("9A 99 99 99 99 99 0D 40 CD CC CC CC CC CC 0C 40");
    b.hex("00 00 00 00 00 00 10 40 9A 99 99 99 99 99 C9 3F");
    for (int ch = 2; ch <= 16; ++ch) {
        const QByteArray name = ch == 2   ? "Licht A"
                                : ch == 3 ? "Booster B"
                                          : "Input " + QByteArray::number(ch);
        b.u8(quint8(name.size())).raw(name).f64(5.0).f64(4.5).f64(4.0).f64(0.2);
    }
    b.zeros(136).hex("00 00 00 00 00 00 00 00 FF 00 00 00 00 00 00 00");
    return b.data();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A document with every member different from its default and from each other.
std::unique_ptr<CVelkorDoc> EveryFieldChanged()
{
    auto doc = std::make_unique<CVelkorDoc>();
    for (int i = 0; i < 16; ++i) {
        doc->m_strName[i] = QStringLiteral("Kanal %1").arg(i + 1);
        doc->m_dMaximalstrom[i] = 10.25 + i;
        doc->m_dAlarmstrom[i] = 20.5 + i;
        doc->m_dAbschaltstrom[i] = 30.75 + i;
        doc->m_dHysterese[i] = -0.125 * (i + 1);
        doc->m_dVerbrauch[i] = 1000.001 * (i + 1);
    }
    doc->m_nAbfragezeit = 250;
    doc->m_nTimerzeit = 0xFFFFFFF0u;
    doc->m_dGesamtverbrauch = 12.345678;
    doc->m_nStartWert = 0;
    doc->m_nStopWert = 255;
    doc->m_nStartRadio = 1;
    doc->m_nStopRadio = -7;
    return doc;
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void constructorValues();
    void newDocumentDefaults();
    void newDocumentFile();
    void roundTripEveryField();
    void namePrefix_data();
    void namePrefix();
    void nameCodePage_data();
    void nameCodePage();
    void everyNameByteSurvivesLoadAndSave();
    void cutShortFilesRefused();
    void extraBytesIgnored();
    void hugeLengthPrefixRefused_data();
    void hugeLengthPrefixRefused();
    void openRefusalShowsMessage_data();
    void openRefusalShowsMessage();
    void onlyRegularFilesAreOpened_data();
    void onlyRegularFilesAreOpened();
    void failedOpenLeavesNoDocument();
    void saveThroughFramework();
    void saveIntoReadOnlyDirectory();
    void saveCutShortBySizeLimit_data();
    void saveCutShortBySizeLimit();
    void saveOntoDevice();
    void saveErrorTextsAreGerman();
};

void TestDocument::constructorValues()
{
    const CVelkorDoc doc;
    for (int i = 0; i < 16; ++i) {
        QVERIFY(doc.m_strName[i].isEmpty());
        QCOMPARE(doc.m_dMaximalstrom[i], 0.0);
        QCOMPARE(doc.m_dAlarmstrom[i], 0.0);
        QCOMPARE(doc.m_dAbschaltstrom[i], 0.0);
        QCOMPARE(doc.m_dHysterese[i], 0.0);
        QCOMPARE(doc.m_dVerbrauch[i], 0.0);
    }
    QCOMPARE(doc.m_nAbfragezeit, 0u);
    QCOMPARE(doc.m_nTimerzeit, 0u);
    QCOMPARE(doc.m_dGesamtverbrauch, 0.0);
    QCOMPARE(doc.m_nStartWert, 255);
    QCOMPARE(doc.m_nStopWert, 0);
    QCOMPARE(doc.m_nStartRadio, 0);
    QCOMPARE(doc.m_nStopRadio, 0);
}

void TestDocument::newDocumentDefaults()
{
    // Start from a loaded document so that every default must really be set.
    auto doc = EveryFieldChanged();
    doc->SetModifiedFlag(true);
    QVERIFY(doc->OnNewDocument());
    QVERIFY(!doc->IsModified());

    QCOMPARE(doc->m_strName[0], QStringLiteral("Booster A"));
    QCOMPARE(doc->m_strName[1], QStringLiteral("Licht A"));
    QCOMPARE(doc->m_strName[2], QStringLiteral("Booster B"));
    for (int ch = 4; ch <= 16; ++ch)
        QCOMPARE(doc->m_strName[ch - 1], QStringLiteral("Input %1").arg(ch));
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(doc->m_dMaximalstrom[i], i == 0 ? 3.7 : 5.0);
        QCOMPARE(doc->m_dAlarmstrom[i], 4.0);
        QCOMPARE(doc->m_dAbschaltstrom[i], i == 0 ? 3.6 : 4.5);
        QCOMPARE(doc->m_dHysterese[i], 0.2);
        QCOMPARE(doc->m_dVerbrauch[i], 0.0);
    }
    QCOMPARE(doc->m_nAbfragezeit, 1000u);
    QCOMPARE(doc->m_nTimerzeit, 30u);
    QCOMPARE(doc->m_dGesamtverbrauch, 0.0);
    QCOMPARE(doc->m_nStartWert, 255);
    QCOMPARE(doc->m_nStopWert, 0);
    QCOMPARE(doc->m_nStartRadio, 0);
    QCOMPARE(doc->m_nStopRadio, 0);
}

void TestDocument::newDocumentFile()
{
    const QByteArray expected = NewDocumentFile();
    QCOMPARE(expected.size(), 811);
    QCOMPARE(expected.mid(50, 8), QByteArray("\x07Licht A"));

    const QByteArray file = Save(*NewDoc());
    QCOMPARE(file.size(), expected.size());
    QCOMPARE(file.toHex(' '), expected.toHex(' '));
    // The tail starts with channel 1's counter after the last record.
    QCOMPARE(file.size() - 152, 659);

    // Loading it back gives the defaults again.
    CVelkorDoc loaded;
    QCOMPARE(Load(loaded, file), -1);
    QVERIFY(SameContents(loaded, *NewDoc()));
}

void TestDocument::roundTripEveryField()
{
    auto doc = EveryFieldChanged();
    doc->m_dHysterese[5] = -0.0;
    doc->m_dVerbrauch[9] = std::numeric_limits<double>::quiet_NaN();
    const QByteArray file = Save(*doc);

    // Places where the file order differs from the members' order.
    QCOMPARE(qFromLittleEndian<quint32>(file.constData()), 0xFFFFFFF0u);
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 4), 250u);
    qsizetype pos = 8;
    for (int i = 0; i < 16; ++i) {
        const qsizetype n = quint8(file.at(pos));
        QCOMPARE(At(file, pos + 1 + n), doc->m_dMaximalstrom[i]);
        QCOMPARE(At(file, pos + 9 + n), doc->m_dAbschaltstrom[i]);
        QCOMPARE(At(file, pos + 17 + n), doc->m_dAlarmstrom[i]);
        QCOMPARE(At(file, pos + 25 + n), doc->m_dHysterese[i]);
        pos += 33 + n;
    }
    QCOMPARE(file.size(), pos + 152);
    QCOMPARE(At(file, pos + 128), 12.345678);
    QCOMPARE(I32At(file, pos + 136), 1);   // Start button
    QCOMPARE(I32At(file, pos + 140), -7);  // Stop button
    QCOMPARE(I32At(file, pos + 144), 0);   // start value
    QCOMPARE(I32At(file, pos + 148), 255); // stop value

    CVelkorDoc loaded;
    QCOMPARE(Load(loaded, file), -1);
    QVERIFY(SameContents(loaded, *doc));
}

void TestDocument::namePrefix_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("empty") << 0 << QByteArray::fromHex("00");
    QTest::newRow("254, last one-byte length") << 254 << QByteArray::fromHex("FE");
    QTest::newRow("255, first 16-bit length") << 255 << QByteArray::fromHex("FFFF00");
    QTest::newRow("65533, last 16-bit length") << 65533 << QByteArray::fromHex("FFFDFF");
    QTest::newRow("65534, first 32-bit length") << 65534 << QByteArray::fromHex("FFFFFFFEFF0000");
    QTest::newRow("70000") << 70000 << QByteArray::fromHex("FFFFFF70110100");
}

void TestDocument::namePrefix()
{
    QFETCH(int, length);
    QFETCH(QByteArray, prefix);
    auto doc = NewDoc();
    QString name(length, QLatin1Char('x'));
    if (length > 0)
        name[length - 1] = QLatin1Char('z'); // the last character must survive too
    doc->m_strName[0] = name;

    const QByteArray file = Save(*doc);
    QCOMPARE(file.size(), 811 - 9 + prefix.size() - 1 + length);
    QCOMPARE(file.mid(8, prefix.size()).toHex(), prefix.toHex());
    QCOMPARE(file.mid(8 + prefix.size(), length), name.toLatin1());
    QCOMPARE(At(file, 8 + prefix.size() + length), 3.7);

    CVelkorDoc loaded;
    QCOMPARE(Load(loaded, file), -1);
    QCOMPARE(loaded.m_strName[0].size(), length);
    QVERIFY(SameContents(loaded, *doc));
}

void TestDocument::nameCodePage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("reloaded");
    const QString umlauts = QStringLiteral("Größe Ä €");
    QTest::newRow("umlauts and euro") << umlauts
                                      << QByteArray("Gr\xF6\xDF"
                                                    "e \xC4 \x80")
                                      << umlauts;
    const QString quotes = QStringLiteral("„Zähler“ – ™");
    QTest::newRow("quotes and dashes")
        << quotes << QByteArray("\x84Z\xE4hler\x93 \x96 \x99") << quotes;
    QTest::newRow("Greek letter") << QStringLiteral("Ω 1") << QByteArray("? 1")
                                  << QStringLiteral("? 1");
    QTest::newRow("character outside the BMP is one '?'")
        << QStringLiteral("A\U0001F600B") << QByteArray("A?B") << QStringLiteral("A?B");
}

void TestDocument::nameCodePage()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, stored);
    QFETCH(QString, reloaded);
    auto doc = NewDoc();
    doc->m_strName[0] = name;
    const QByteArray file = Save(*doc);
    QCOMPARE(quint8(file.at(8)), quint8(stored.size()));
    QCOMPARE(file.mid(9, stored.size()).toHex(' '), stored.toHex(' '));

    CVelkorDoc loaded;
    QCOMPARE(Load(loaded, file), -1);
    QCOMPARE(loaded.m_strName[0], reloaded);
}

void TestDocument::everyNameByteSurvivesLoadAndSave()
{
    // A file written elsewhere may hold any byte in a name; loading and
    // saving it again must not change the file.
    QByteArray name;
    for (int b = 0; b < 256; ++b)
        name += char(b);
    const QByteArray newFile = NewDocumentFile();
    const QByteArray file =
        newFile.left(8) + QByteArray::fromHex("FF0001") + name + newFile.mid(18);

    CVelkorDoc doc;
    QCOMPARE(Load(doc, file), -1);
    QCOMPARE(doc.m_strName[0].size(), 256);
    QCOMPARE(doc.m_strName[0].at(0x80), QChar(0x20AC));
    QCOMPARE(Save(doc).toHex(' '), file.toHex(' '));
}

void TestDocument::cutShortFilesRefused()
{
    const QByteArray full = Save(*EveryFieldChanged());
    const auto before = NewDoc();
    for (qsizetype n = 0; n < full.size(); ++n) {
        auto doc = NewDoc();
        const int cause = Load(*doc, full.left(n));
        QVERIFY2(cause == CArchiveException::endOfFile || cause == CArchiveException::badLength,
                 qPrintable(QStringLiteral("prefix of %1 bytes not refused").arg(n)));
        // A refused file leaves the document as it was.
        QVERIFY2(SameContents(*doc, *before),
                 qPrintable(QStringLiteral("prefix of %1 bytes").arg(n)));
    }
}

void TestDocument::extraBytesIgnored()
{
    const auto doc = EveryFieldChanged();
    const QByteArray file = Save(*doc) + QByteArray("\xFF\xFF\xFF\xFF trailing garbage", 21);
    CVelkorDoc loaded;
    QCOMPARE(Load(loaded, file), -1);
    QVERIFY(SameContents(loaded, *doc));
}

void TestDocument::hugeLengthPrefixRefused_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("32-bit, 4 GiB - 1") << QByteArray::fromHex("FFFFFFFFFFFFFF");
    QTest::newRow("32-bit, 2 GiB") << QByteArray::fromHex("FFFFFF00000080");
    QTest::newRow("16-bit, past the end") << QByteArray::fromHex("FFFEFF");
    QTest::newRow("one byte, past the end") << QByteArray::fromHex("FE");
}

void TestDocument::hugeLengthPrefixRefused()
{
    QFETCH(QByteArray, prefix);
    // Head, the prefix, then fewer bytes than it announces.
    const QByteArray file = QByteArray::fromHex("1E000000E8030000") + prefix + QByteArray(200, 'a');
    auto doc = NewDoc();
    // badLength is raised before the buffer is made; a reader that allocated
    // first would report the end of the file instead.
    QCOMPARE(Load(*doc, file), int(CArchiveException::badLength));
    QVERIFY(SameContents(*doc, *NewDoc()));
}

void TestDocument::openRefusalShowsMessage_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    const QByteArray full = NewDocumentFile();
    const QString damaged = QStringLiteral("unvollständig oder beschädigt");
    QTest::newRow("one byte short") << full.left(full.size() - 1) << damaged;
    QTest::newRow("empty") << QByteArray() << damaged;
    QTest::newRow("huge name length")
        << QByteArray::fromHex("1E000000E8030000FFFFFFFFFFFFFF") << damaged;
    QTest::newRow("directory") << QByteArray() << QStringLiteral("Verzeichnis");
}

void TestDocument::openRefusalShowsMessage()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Anlage.sav"));
    if (QTest::currentDataTag() == QByteArray("directory"))
        QVERIFY(QDir().mkdir(path));
    else
        QVERIFY(WriteFile(path, contents));

    TestSink sink;
    sink.ExpectBoxes(1);
    CVelkorDoc doc;
    QVERIFY(!doc.OnOpenDocument(path));
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY2(sink.boxes[0].text.contains(path), qPrintable(sink.boxes[0].text));
    QVERIFY2(sink.boxes[0].text.contains(reason), qPrintable(sink.boxes[0].text));
}

void TestDocument::onlyRegularFilesAreOpened_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("named pipe") << QString();
    QTest::newRow("/dev/zero") << QStringLiteral("/dev/zero");
    QTest::newRow("/dev/urandom") << QStringLiteral("/dev/urandom");
}

void TestDocument::onlyRegularFilesAreOpened()
{
    QFETCH(QString, device);
    QTemporaryDir dir;
    QString path = device;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("pipe.sav"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (!QFileInfo::exists(path)) {
        QSKIP("device missing");
    }
    // A blocking open of a pipe waits for a writer: if the open has not
    // returned after five seconds, a writer comes and goes to free it.
    std::atomic<bool> done{false}, freed{false};
    std::thread rescue([&] {
        for (int n = 0; n < 100 && !done; ++n)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!done && device.isEmpty()) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                freed = true;
                ::close(fd);
            }
        }
    });
    TestSink sink;
    sink.ExpectBoxes(1);
    CVelkorDoc doc;
    const bool opened = doc.OnOpenDocument(path);
    done = true;
    rescue.join();
    QVERIFY2(!freed, "the open waited for a writer");
    QVERIFY(!opened);
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY2(sink.boxes[0].text.contains(path), qPrintable(sink.boxes[0].text));
    QVERIFY2(sink.boxes[0].text.contains(QStringLiteral("unvollständig oder beschädigt")),
             qPrintable(sink.boxes[0].text));
}

void TestDocument::failedOpenLeavesNoDocument()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kurz.sav"));
    const QByteArray full = NewDocumentFile();
    QVERIFY(WriteFile(path, full.left(full.size() - 1)));

    int views = 0;
    CDocTemplate docTemplate(
        128, [] { return new CVelkorDoc; }, [] { return nullptr; },
        [&views]() -> CView* {
            ++views;
            return nullptr;
        });
    TestSink sink;
    sink.ExpectBoxes(1);
    QCOMPARE(docTemplate.OpenDocumentFile(path, nullptr), nullptr);
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(docTemplate.Documents().isEmpty());
    QCOMPARE(views, 0);
}

void TestDocument::saveThroughFramework()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("neu.sav"));
    QVERIFY(WriteFile(path, QByteArray(5000, 'o'))); // a longer old file must not leave a tail
    auto doc = NewDoc();
    doc->SetModifiedFlag(true);
    TestSink sink;
    QVERIFY(doc->OnSaveDocument(path));
    QVERIFY(!doc->IsModified());
    QCOMPARE(ReadFile(path).toHex(' '), NewDocumentFile().toHex(' '));

    CVelkorDoc loaded;
    QVERIFY(loaded.OnOpenDocument(path));
    QVERIFY(SameContents(loaded, *doc));
    QVERIFY(sink.boxes.isEmpty());
}

void TestDocument::saveIntoReadOnlyDirectory()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alt.sav"));
    const QByteArray old = NewDocumentFile();
    QVERIFY(WriteFile(path, old));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool bypassed = WriteFile(dir.filePath(QStringLiteral("probe")), "x");
    if (bypassed) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("permissions do not bind this user (root); the size-limit test covers failed saves");
    }

    auto doc = EveryFieldChanged();
    doc->SetModifiedFlag(true);
    TestSink sink;
    sink.ExpectBoxes(1);
    QVERIFY(!doc->OnSaveDocument(path));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(sink.boxes[0].text.contains(path));
    QVERIFY2(sink.boxes[0].text.contains(QStringLiteral("Berechtigung")),
             qPrintable(sink.boxes[0].text));
    QVERIFY(doc->IsModified());
    QCOMPARE(ReadFile(path), old);
}

void TestDocument::saveCutShortBySizeLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("nameLength");
    QTest::newRow("fails while writing") << 4096 << 100000;
    QTest::newRow("fails when flushed at the end") << 512 << 9;
}

void TestDocument::saveCutShortBySizeLimit()
{
    QFETCH(int, limit);
    QFETCH(int, nameLength);
    // A file-size limit makes the writes come up short, as a full disk does;
    // root is bound by it too.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alt.sav"));
    const QByteArray old = NewDocumentFile();
    QVERIFY(WriteFile(path, old));
    auto doc = NewDoc();
    doc->m_strName[7] = QString(nameLength, QLatin1Char('n'));
    const auto unchanged = NewDoc();
    unchanged->m_strName[7] = doc->m_strName[7];
    doc->SetModifiedFlag(true);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = rlim_t(limit);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    TestSink sink;
    sink.ExpectBoxes(1);
    const bool saved_ok = doc->OnSaveDocument(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved_ok);
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(sink.boxes[0].text.contains(path));
    QVERIFY2(sink.boxes[0].text.contains(QStringLiteral("Die Datei ist zu groß")),
             qPrintable(sink.boxes[0].text));
    QVERIFY(doc->IsModified());
    QVERIFY(SameContents(*doc, *unchanged));
    QCOMPARE(ReadFile(path).size(), old.size());
    QCOMPARE(ReadFile(path), old);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("alt.sav")});
}

void TestDocument::saveOntoDevice()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    // Saving renames a temporary file over the target, which must never
    // replace a device node.
    auto doc = NewDoc();
    doc->SetModifiedFlag(true);
    TestSink sink;
    sink.ExpectBoxes(1);
    QVERIFY(!doc->OnSaveDocument(QStringLiteral("/dev/full")));
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(doc->IsModified());
    QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());
}

// What the system reported, said in German; the size-limit and permission
// tests see these texts in real saves.
void TestDocument::saveErrorTextsAreGerman()
{
    QVERIFY(SystemErrorText(ENOSPC).contains(QStringLiteral("nicht genügend Speicherplatz")));
    QVERIFY(SystemErrorText(EFBIG).contains(QStringLiteral("zu groß")));
    QVERIFY(SystemErrorText(EACCES).contains(QStringLiteral("Berechtigung")));
}

QTEST_GUILESS_MAIN(TestDocument)
#include "test_document.moc"
