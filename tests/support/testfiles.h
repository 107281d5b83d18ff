#pragma once

// Files and directories of a test: a temporary home for everything the program keeps per user, the
// places the program uses inside it, raw bytes in and out, and the text of a PDF.
#include <QByteArray>
#include <QJsonObject>
#include <QString>

class QTemporaryDir;

// Points HOME and the XDG data and config homes at `home` and turns on QStandardPaths' test mode, so
// nothing a test does reads or writes the real home directory.
void useTemporaryHome(const QTemporaryDir& home);
// The same, with the program's organisation and name set, which decide where its files live inside.
void useTemporaryProgramHome(const QTemporaryDir& home);

// The per-user application data directory, its "profiles" folder, a file in it, and the last session.
QString appDataPath();
QString profilesPath();
QString profilePath(const QString& fileName);
QString sessionPath();

// Creates the parent folders; true when every byte was written.
bool writeFile(const QString& path, const QByteArray& bytes);
// The file's bytes, empty when it cannot be read.
QByteArray readFile(const QString& path);
QByteArray jsonBytes(const QJsonObject& object);
QJsonObject readJsonObject(const QString& path);
// One line of compact JSON, for failure messages.
QString describe(const QJsonObject& object);

// The text of a PDF as `pdftotext -layout` reads it. On failure the result is empty and `error` says
// why (pdftotext missing, or what it printed).
QString pdfText(const QString& path, QString* error);
