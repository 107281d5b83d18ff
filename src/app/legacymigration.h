#pragma once

#include <QString>

// Copies saved profiles over from the directory the program used under its former name
// ("Tallisk"), once: only while `dataDir` + "/profiles" does not exist yet. Regular files (links to
// them followed) of at most maxProfileFileBytes only, no hidden files; named pipes, devices, links
// to them and larger files are skipped without being opened for long. The profiles folder appears
// only once every file is copied, so an interrupted copy runs again at the next start. The legacy
// directory is left in place. Silent on failure.
void migrateLegacyProfiles(const QString& dataDir);

// The former program's data directory for `dataDir`: every "Ambertrace" replaced by "Tallisk".
QString legacyDataDir(const QString& dataDir);
