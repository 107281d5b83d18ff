#include "service/pdfattachment.h"

#include <QHash>
#include <QSet>

#include <cctype>
#include <zlib.h>

namespace {

constexpr int maxFileSpecs = 64;    // attached-file entries of that name looked at
constexpr int maxXrefSections = 32; // cross-reference sections followed through /Prev
constexpr int maxXrefEntries = 1000000;
constexpr int maxDictBytes = 8192;

bool isWhite(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

qsizetype skipWhite(const QByteArray& d, qsizetype i)
{
    while (i < d.size() && isWhite(d.at(i)))
        ++i;
    return i;
}

// A non-negative integer of at most 10 digits at `i`; -1 when there is none.
qint64 readInt(const QByteArray& d, qsizetype& i)
{
    qsizetype j = i;
    qint64 value = 0;
    int digits = 0;
    while (j < d.size() && isDigit(d.at(j)) && digits < 11) {
        value = value * 10 + (d.at(j) - '0');
        ++j;
        ++digits;
    }
    if (digits == 0 || digits > 10)
        return -1;
    i = j;
    return value;
}

bool startsAt(const QByteArray& d, qsizetype i, const char* word)
{
    const qsizetype n = qsizetype(qstrlen(word));
    return i >= 0 && i + n <= d.size() && d.mid(i, n) == word;
}

// "N G R" at `i` (after white space): the object number N; -1 otherwise.
qint64 readReference(const QByteArray& d, qsizetype i)
{
    i = skipWhite(d, i);
    const qint64 number = readInt(d, i);
    if (number < 0)
        return -1;
    i = skipWhite(d, i);
    if (readInt(d, i) < 0)
        return -1;
    i = skipWhite(d, i);
    return startsAt(d, i, "R") ? number : -1;
}

// The dictionary "<< ... >>" starting at `i` (nested ones included), without its brackets; empty
// when it does not close within maxDictBytes. `end` is set past its closing brackets.
QByteArray readDict(const QByteArray& d, qsizetype i, qsizetype& end)
{
    if (!startsAt(d, i, "<<"))
        return QByteArray();
    int depth = 0;
    const qsizetype limit = qMin(d.size() - 1, i + maxDictBytes);
    for (qsizetype j = i; j < limit; ++j) {
        if (d.at(j) == '<' && d.at(j + 1) == '<') {
            ++depth;
            ++j;
        } else if (d.at(j) == '>' && d.at(j + 1) == '>') {
            --depth;
            ++j;
            if (depth == 0) {
                end = j + 1;
                return d.mid(i + 2, j - 1 - (i + 2));
            }
        }
    }
    return QByteArray();
}

// Position just after the key "/Name" in a dictionary's text (the key must end there), -1 if absent.
qsizetype keyEnd(const QByteArray& dict, const char* key)
{
    const QByteArray k = QByteArray("/") + key;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = dict.indexOf(k, from);
        if (at < 0)
            return -1;
        const qsizetype after = at + k.size();
        if (after >= dict.size() || !(std::isalnum(static_cast<unsigned char>(dict.at(after)))))
            return after;
        from = after;
    }
}

class PdfReader
{
public:
    explicit PdfReader(const QByteArray& bytes) : d(bytes) { readXref(); }

    // Offset of "N G obj" for object `number`; -1 when it cannot be found.
    qsizetype objectOffset(qint64 number) const
    {
        const qsizetype listed = offsets.value(number, -1);
        if (listed >= 0 && objectStartsAt(listed, number))
            return listed;
        // The tables do not lead to it: the last definition in the file, as an update would leave.
        const QByteArray word = QByteArray::number(number) + " 0 obj";
        qsizetype at = d.lastIndexOf(word);
        while (at >= 0) {
            if ((at == 0 || isWhite(d.at(at - 1))) && objectStartsAt(at, number))
                return at;
            at = at > 0 ? d.lastIndexOf(word, at - 1) : -1;
        }
        return -1;
    }

    // Position after "obj" of the object at `offset`.
    qsizetype bodyStart(qsizetype offset) const
    {
        const qsizetype at = d.indexOf("obj", offset);
        return at < 0 ? -1 : at + 3;
    }

    // The integer an object holds ("N 0 obj 123 endobj"); -1 otherwise.
    qint64 integerObject(qint64 number) const
    {
        const qsizetype offset = objectOffset(number);
        if (offset < 0)
            return -1;
        qsizetype i = skipWhite(d, bodyStart(offset));
        return readInt(d, i);
    }

    // The data of the stream object `number`, inflated when it says /FlateDecode.
    bool streamData(qint64 number, QByteArray& out) const
    {
        const qsizetype offset = objectOffset(number);
        if (offset < 0)
            return false;
        qsizetype i = skipWhite(d, bodyStart(offset));
        qsizetype end = 0;
        const QByteArray dict = readDict(d, i, end);
        if (dict.isEmpty())
            return false;
        qint64 length = -1;
        const qsizetype lengthAt = keyEnd(dict, "Length");
        if (lengthAt < 0)
            return false;
        const qint64 ref = readReference(dict, lengthAt);
        if (ref >= 0) {
            length = integerObject(ref);
        } else {
            qsizetype j = skipWhite(dict, lengthAt);
            length = readInt(dict, j);
        }
        if (length < 0 || length > maxReportPdfBytes)
            return false;
        bool flate = false;
        const qsizetype filterAt = keyEnd(dict, "Filter");
        if (filterAt >= 0) {
            qsizetype j = skipWhite(dict, filterAt);
            if (j < dict.size() && dict.at(j) == '[')
                j = skipWhite(dict, j + 1);
            if (!startsAt(dict, j, "/FlateDecode"))
                return false; // a filter this reader does not know
            flate = true;
        }
        if (keyEnd(dict, "DecodeParms") >= 0)
            return false; // predictors are not written by QPdfWriter and not read here
        i = skipWhite(d, end);
        if (!startsAt(d, i, "stream"))
            return false;
        i += 6;
        if (startsAt(d, i, "\r\n"))
            i += 2;
        else if (startsAt(d, i, "\n"))
            i += 1;
        else
            return false;
        if (length > d.size() - i)
            return false;
        const QByteArray raw = d.mid(i, qsizetype(length));
        if (!flate) {
            if (raw.size() > maxAttachmentBytes)
                return false;
            out = raw;
            return true;
        }
        return inflate(raw, out);
    }

private:
    bool objectStartsAt(qsizetype offset, qint64 number) const
    {
        if (offset < 0 || offset >= d.size())
            return false;
        qsizetype i = offset;
        if (readInt(d, i) != number)
            return false;
        i = skipWhite(d, i);
        if (readInt(d, i) < 0)
            return false;
        i = skipWhite(d, i);
        return startsAt(d, i, "obj");
    }

    // Every classic cross-reference section from the last "startxref" back through /Prev; the
    // newest entry of an object wins. A cross-reference stream or a damaged table ends the walk.
    void readXref()
    {
        const qsizetype tail = d.lastIndexOf("startxref");
        if (tail < 0)
            return;
        qsizetype i = skipWhite(d, tail + 9);
        qint64 section = readInt(d, i);
        QSet<qint64> seen;
        int entries = 0;
        for (int hop = 0; hop < maxXrefSections && section >= 0 && section < d.size(); ++hop) {
            if (seen.contains(section))
                return;
            seen.insert(section);
            i = skipWhite(d, qsizetype(section));
            if (!startsAt(d, i, "xref"))
                return;
            i = skipWhite(d, i + 4);
            while (i < d.size() && isDigit(d.at(i))) {
                const qint64 first = readInt(d, i);
                i = skipWhite(d, i);
                const qint64 count = readInt(d, i);
                if (first < 0 || count < 0 || count > maxXrefEntries - entries)
                    return;
                i = skipWhite(d, i);
                for (qint64 k = 0; k < count; ++k) {
                    // "oooooooooo ggggg n" and two characters of line end: 20 bytes.
                    if (i + 18 > d.size())
                        return;
                    qsizetype j = i;
                    const qint64 offset = readInt(d, j);
                    if (offset >= 0 && d.at(i + 17) == 'n' && !offsets.contains(first + k))
                        offsets.insert(first + k, qsizetype(offset));
                    i = skipWhite(d, i + 18);
                    ++entries;
                }
            }
            if (!startsAt(d, i, "trailer"))
                return;
            qsizetype end = 0;
            const QByteArray trailer = readDict(d, skipWhite(d, i + 7), end);
            const qsizetype prevAt = keyEnd(trailer, "Prev");
            if (prevAt < 0)
                return;
            qsizetype j = skipWhite(trailer, prevAt);
            section = readInt(trailer, j);
        }
    }

    static bool inflate(const QByteArray& raw, QByteArray& out)
    {
        z_stream z{};
        if (inflateInit(&z) != Z_OK)
            return false;
        QByteArray result;
        char buffer[16384];
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.constData()));
        z.avail_in = uInt(raw.size());
        int status = Z_OK;
        while (status == Z_OK) {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof(buffer);
            status = ::inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END)
                break;
            const qsizetype produced = qsizetype(sizeof(buffer) - z.avail_out);
            if (result.size() + produced > maxAttachmentBytes) {
                status = Z_MEM_ERROR;
                break;
            }
            result.append(buffer, produced);
            if (status == Z_OK && produced == 0 && z.avail_in == 0)
                status = Z_BUF_ERROR; // the data stops before the end of the stream
        }
        inflateEnd(&z);
        if (status != Z_STREAM_END)
            return false;
        out = result;
        return true;
    }

    const QByteArray& d;
    QHash<qint64, qsizetype> offsets;
};

} // namespace

bool pdfEmbeddedFile(const QByteArray& pdf, const QString& fileName, QByteArray& out)
{
    if (pdf.size() > maxReportPdfBytes || !pdf.startsWith("%PDF-") || fileName.isEmpty())
        return false;
    const QByteArray name = fileName.toLatin1();
    if (name.contains('(') || name.contains(')') || name.contains('\\'))
        return false;
    const PdfReader reader(pdf);
    const QByteArray spec = "/F (" + name + ")";
    qsizetype at = pdf.indexOf(spec);
    for (int found = 0; at >= 0 && found < maxFileSpecs; ++found) {
        // The embedded-file entry "/EF <</F N 0 R>>" follows within the same dictionary.
        const QByteArray window = pdf.mid(at + spec.size(), 512);
        const qsizetype ef = keyEnd(window, "EF");
        if (ef >= 0) {
            qsizetype end = 0;
            const QByteArray embedded = readDict(window, skipWhite(window, ef), end);
            const qsizetype f = keyEnd(embedded, "F");
            const qint64 number = f >= 0 ? readReference(embedded, f) : -1;
            QByteArray data;
            if (number >= 0 && reader.streamData(number, data)) {
                out = data;
                return true;
            }
        }
        at = pdf.indexOf(spec, at + spec.size());
    }
    return false;
}
