#pragma once

// Finding the schematic image of an amplifier preset. The program ships no schematics; users drop
// images named after the preset into one of a few well-known directories.
#include <QString>
#include <QStringList>

// File-name stem for a preset: group and name joined, lower-cased, every run of characters other
// than a-z and 0-9 turned into one hyphen, hyphens at either end removed.
// "Fender" + "Champ / Vibro Champ" gives "fender-champ-vibro-champ".
QString schematicSlug(const QString& group, const QString& name);

// Image extensions tried for a stem, in order: png, jpg, jpeg, gif, webp.
const QStringList& schematicImageExtensions();

// Directories searched, in order: the per-user application data directory + "/schematics", then
// the executable's directory + "/schematics" and + "/../share/ambertrace/schematics".
// Recomputed on every call; nothing is created.
QStringList schematicSearchDirs();

// Full path of the first existing file dir/stem.ext, directories taking precedence over extensions;
// empty when there is none. The first form searches `schematicSearchDirs()`.
QString findSchematicImage(const QString& stem);
QString findSchematicImage(const QString& stem, const QStringList& dirs);

// Text of the information box shown when no image exists: it names the .png file to save and the
// per-user directory to save it into.
QString schematicMissingText(const QString& presetName, const QString& slug, const QString& userDir);
