// Feeds arbitrary bytes to the ".sav" loader. Beyond not crashing, it checks
// that no single allocation outgrows the input (a length prefix must never
// be trusted before it is checked against the file) and that whatever loads
// saves and loads back to the same contents.

#include "doc/VelkorDoc.h"
#include "framework/Archive.h"

#include <QBuffer>
#include <QByteArray>

#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

volatile bool g_tracking = false;
volatile size_t g_largest = 0;

void OnMalloc(const volatile void*, size_t size)
{
    if (g_tracking && size > g_largest)
        g_largest = size;
}

void OnFree(const volatile void*) {}

// A name of n bytes becomes n UTF-16 units; allow that twice over plus the
// fixed overhead of Qt's containers.
size_t AllowedAllocation(size_t inputSize)
{
    return 2 * inputSize + 4096;
}

bool Load(CVelkorDoc& doc, const QByteArray& bytes)
{
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    CArchive ar(&buf, CArchive::load);
    try {
        doc.Serialize(ar);
    } catch (const CArchiveException&) {
        return false;
    }
    return true;
}

QByteArray Save(CVelkorDoc& doc)
{
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    CArchive ar(&buf, CArchive::store);
    doc.Serialize(ar);
    return buf.data();
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameContents(const CVelkorDoc& a, const CVelkorDoc& b)
{
    for (int i = 0; i < CVelkorDoc::kChannels; ++i) {
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

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_sav: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    CVelkorDoc doc;

    g_largest = 0;
    g_tracking = true;
    const bool loaded = Load(doc, input);
    g_tracking = false;
    if (g_largest > AllowedAllocation(size)) {
        std::fprintf(stderr, "fuzz_sav: allocation of %zu bytes for %zu bytes of input\n",
                     size_t(g_largest), size);
        std::abort();
    }
    if (!loaded)
        return 0;

    CVelkorDoc again;
    if (!Load(again, Save(doc)))
        Fail("a saved document does not load");
    if (!SameContents(doc, again))
        Fail("a saved document loads back different");
    return 0;
}
