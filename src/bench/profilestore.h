#pragma once

// Saved amplifier profiles and the last session: one JSON object per file in the profiles directory
// under the per-user application data directory. Every store function builds that path afresh and
// creates the directory when it is missing. Reading never fails loudly: a missing key or one of the
// wrong type takes the default of a fresh AmpProfile.
#include <QByteArray>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The complete bench setup, as a saved profile or as the last session.
struct AmpProfile {
    QString name;           // "_last" for the last session
    QString tube;           // a TubeSpec name
    double customMaxW = 25; // W, for the custom tube
    int tubeCount = 2;
    QString topology;   // an AmpClass name
    int biasMethod = 0; // a BiasMethod value
    double plateV = 0;  // V
    double bPlusV = 0;  // V
    double senseResistorOhms = 1;
    double cathodeResistorOhms = 250;
    bool sharedCathodeR = false;
    bool subtractScreen = false;
    bool meterReadsTotal = true;
    double targetPct = 65;   // % of max plate dissipation
    QList<double> meas1;     // first reading of each card, in card order
    QList<double> meas2;     // second reading of each card, in card order
    QStringList tubeLabels;  // what each tube is marked with; written only when one has a label
    QJsonArray preampStages; // preamp stage objects, first stage first
};

// The application data directory + "/profiles", created with its parents when missing.
QDir profilesDirectory();

// The profile's name with every character outside [A-Za-z0-9 _.-] replaced by "_", plus ".json".
QString profileFileName(const QString& name);

QJsonObject profileToJson(const AmpProfile& profile);
AmpProfile profileFromJson(const QJsonObject& object);

// The largest profile or session file that is read, in bytes. The program itself writes a few
// kilobytes even for twelve tubes and eight preamp stages, so anything near this size was not written
// by it; reading such a file whole would stall the window, which reads every profile each time the
// list is refreshed. A larger file is treated like an unreadable one.
inline constexpr qint64 maxProfileFileBytes = 4 * 1024 * 1024;

// True, with `out` set, when the bytes are at most maxProfileFileBytes long and hold a JSON object;
// `out` is untouched otherwise. This is how every profile and session file is read.
bool jsonObjectFromBytes(const QByteArray& bytes, QJsonObject& out);

// True, with `out` set, when the path names a regular file (symbolic links followed) that opens and
// holds a JSON object (jsonObjectFromBytes); `out` is untouched otherwise. Never blocks on a named
// pipe and never reads more than maxProfileFileBytes + 1 bytes.
bool readJsonObjectFile(const QString& path, QJsonObject& out);

// Writes the object as indented JSON. The old file is replaced only once the new one is complete,
// so a failed write returns false and leaves the previous content in place. A link to a regular file
// is written through and stays a link; anything else in the way (a directory, a named pipe, a device,
// a loop of links, also behind a link) makes it return false, touching nothing.
bool writeJsonObjectFile(const QString& path, const QJsonObject& object);

// Names of the saved profiles, in the case-sensitive order of their file names; empty names are
// left out, duplicates stay.
QStringList listProfiles();

bool loadProfile(const QString& name, AmpProfile& out);
// False, writing nothing, for an empty name; a profile of the same file name is replaced.
bool saveProfile(const AmpProfile& profile);
bool deleteProfile(const QString& name);

// The session file "_last_session.json_" never matches the "*.json" pattern of the profile list.
bool loadLastSession(AmpProfile& out);
void saveLastSession(const AmpProfile& profile);
