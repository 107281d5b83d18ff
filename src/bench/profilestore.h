#pragma once

// Saved amplifier profiles and the last session: one JSON object per file in the profiles directory
// under the per-user application data directory. Every store function builds that path afresh and
// creates the directory when it is missing. Reading never fails loudly: a missing key or one of the
// wrong type takes the default of a fresh AmpProfile.
#include "bench/profileindex.h"
#include "service/servicerecord.h"
#include "warmup/warmuplog.h"

#include <QByteArray>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "catalog/presets.h"

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
    bool sharedSenseR = false;
    int sharedTubes = 2; // tubes on a shared resistor; files from before it was stored mean a pair
    bool subtractScreen = false;
    double screenPct = 5; // % subtracted; files from before the tube's own share was used mean 5
    bool meterReadsTotal = true;
    // "meterTotalMa": the panel meter's one total. A file from before it was kept typed the total
    // into every card (meas1): it reads as the largest of those, which is each of them where they
    // agree, so the tubes get the shares they had.
    double meterTotalMa = 0;
    bool otDropDirect = false;   // "otDropDirect": absent in older files, which took B+ minus plate
    bool senseRPerTube = false;  // "senseRPerTube": meas2 under the sense method is a tube's own R
    bool screenMeasured = false; // "screenMeasured": subtract each tube's measured screen current
    double targetPct = 65;       // % of max plate dissipation
    // "ampIdle": the amp's own idle figure (from its preset); absent in older files and for jobs
    // without one, which read as none, so the class's rule rates them as before.
    IdleFigure idle;
    QList<double> meas1;       // first reading of each card, in card order
    QList<double> meas2;       // second reading of each card, in card order
    QList<double> screenDropV; // V across each tube's screen resistor; written only when one has it
    QList<double> screenOhms;  // Ω of each tube's screen resistor; as screenDropV
    QStringList tubeLabels;    // what each tube is marked with; written only when one has a label
    QJsonArray preampStages;   // preamp stage objects, first stage first
    WarmupLog warmupLog;       // "warmupLog": absent in older files, which read as an empty log
    AmpRecord amp;             // "amp": absent in older files, which read as an empty record
    QList<ServiceJob> history; // "history", newest first: absent in older files, which have none
};

// The application data directory + "/profiles", created with its parents when missing.
QDir profilesDirectory();

// The profile's name with every character outside [A-Za-z0-9 _.-] replaced by "_", plus ".json":
// the file a profile of that name is saved in unless that file is taken (profileFileNameInStore).
QString profileFileName(const QString& name);

// The file name `name` is saved under in a directory holding `existing` (file names, as listed) whose
// stored names `storedNameOf` tells (a null string for a file that holds no readable profile). File
// names are compared without regard to letter case, as an exFAT stick or a Mac disk compares them.
// profileFileName(name) unless that file holds a profile of another name (anything else in the way
// is left to the writer, which refuses special files); otherwise the
// sanitised name followed by "-" and the first 8 (then 16, then all 40) hex digits of the SHA-1 of
// the exact name, the first of these not holding another profile. "Kunde Müller" and
// "Kunde Möller", "Deluxe" and "DELUXE", "A/B" and "A:B" so get files of their own, and every name
// that maps to a free file keeps the name earlier versions gave it.
QString profileFileNameInStore(const QString& name, const QStringList& existing,
                               const std::function<QString(const QString&)>& storedNameOf);

// The path saveProfile() writes a profile called `name` to, in the profiles directory as it is now.
QString profileSavePath(const QString& name);

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

// One saved profile as the list shows it: the file it lives in and the name it holds. Each entry
// loads and deletes its own file, so a file copied or renamed by hand is an entry of its own.
struct ProfileEntry {
    QString fileName; // in profilesDirectory()
    QString name;     // the file's "name"
    // What the list shows: the name, followed by " (" + file name + ")" when several files hold the
    // same name and this one is not the file that name is saved in.
    QString label;
};

// Every file "*.json" in the profiles directory that holds a profile with a non-empty name, in the
// case-sensitive order of their file names. Files the profile index knows unchanged are not read.
QList<ProfileEntry> listProfileEntries();

// An entry with what a search looks at besides its name: the raw keys of the file's "amp" object,
// empty when missing.
struct ProfileListing {
    ProfileEntry entry;
    QString customer;
    QString make;
    QString model;
    QString serial;
};
// listProfileEntries() with the amps' records.
QList<ProfileListing> listProfileListings();

// The index of the profiles directory as it is now (profileIndexPath()), shared by every listing.
// GUI thread only, as every store function.
ProfileIndex& profileIndex();

// The files of the amps used last (loaded or saved), newest first, at most maxRecentProfiles; kept
// in "recent-amps.json" in the application data directory, beside the profiles directory.
inline constexpr int maxRecentProfiles = 20;
QStringList recentProfileFiles();
void noteProfileUsed(const QString& fileName);
// The file names of a recent-amps object: plain file names only, each once, at most
// maxRecentProfiles.
QStringList recentProfileFilesFromJson(const QJsonObject& object);
bool loadProfileEntry(const ProfileEntry& entry, AmpProfile& out);
bool deleteProfileEntry(const ProfileEntry& entry);

// Names of the saved profiles, in the case-sensitive order of their file names; empty names are
// left out, duplicates stay.
QStringList listProfiles();

// The profile of exactly this name: the file it is saved in when that holds it, else the first
// file in list order that does (one renamed by hand). When no file holds the name, the file
// profileFileName(name), whatever name it holds, as earlier versions read it.
bool loadProfile(const QString& name, AmpProfile& out);
// False, writing nothing, for an empty name. Written to the file of profileFileNameInStore(), so a
// profile of the same name is replaced and one of another name never is.
bool saveProfile(const AmpProfile& profile);
// Removes the file that holds the profile `name` (as loadProfile() finds it); false, removing
// nothing, when no file holds that name.
bool deleteProfile(const QString& name);

// The session file "_last_session.json_" never matches the "*.json" pattern of the profile list.
bool loadLastSession(AmpProfile& out);
void saveLastSession(const AmpProfile& profile);
