#pragma once

#include <QString>

// Copies saved profiles over from the directory the program used under its former name
// ("Tallisk"), once: only while `dataDir` + "/profiles" does not exist yet. Files only, no
// hidden files, nothing overwritten; the legacy directory is left in place. Silent on failure.
void migrateLegacyProfiles(const QString& dataDir);

// The former program's data directory for `dataDir`: every "Ambertrace" replaced by "Tallisk".
QString legacyDataDir(const QString& dataDir);
