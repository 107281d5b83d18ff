#pragma once

// Reads one embedded file back out of a PDF: the job a report carries. The bytes come from outside
// (any file the user picks), so the reader is bounded everywhere: the file's size, the objects it
// looks at, the cross-reference sections it follows and the size the data may inflate to. It reads
// what QPdfWriter::addFileAttachment writes - a file entry "/F (name)" whose "/EF" names a
// stream, uncompressed or /FlateDecode - through the cross-reference tables (incremental updates
// included), and falls back to searching for the object when the tables do not lead to it.
#include <QByteArray>
#include <QString>

inline constexpr qint64 maxReportPdfBytes = 64 * 1024 * 1024;
inline constexpr qint64 maxAttachmentBytes = 8 * 1024 * 1024;

// True, with `out` set to the file's bytes, when `pdf` embeds a file called `fileName` (ASCII) whose
// data can be read and inflates to at most maxAttachmentBytes; `out` is untouched otherwise.
bool pdfEmbeddedFile(const QByteArray& pdf, const QString& fileName, QByteArray& out);
