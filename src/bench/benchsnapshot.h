#pragma once

// The bench model's snapshot as the files and the report see it: a profile or the last session
// from the bench and back, and the data of the PDF report. Pure functions on values.
#include "bench/benchsession.h"
#include "bench/profilestore.h"
#include "biastools/biasreport.h"

#include <QJsonArray>

// The bench as a profile (name left empty): every setup value, both readings of every tube, and
// what goes with the job that the bench does not hold: the preamp chain and the warm-up log.
AmpProfile profileFromBench(const BenchSnapshot& bench, const QJsonArray& preampStages = {},
                            const WarmupLog& warmupLog = {});

// A profile as a starting point for BenchSession::apply. Every value is set, so the outcome does not
// depend on what the bench held before; a tube or class the catalogue does not have, or a method the
// class does not offer, keeps the bench's in the lists and is kept as unknown (BenchSetup::unknown),
// its readings unrated; a negative method reads like a missing one (0), a target that is not finite takes the
// class's default. The preamp chain and the warm-up log are not part of it: whoever holds them takes
// them from the profile.
BenchStart benchStartFromProfile(const AmpProfile& profile);

// The tubes of the bench as a job keeps them: readings, results and ratings, one per tube.
QList<ServiceTube> serviceTubesFromBench(const BenchSnapshot& bench);

// The job on the bench, closed at `date` (whole seconds are kept): setup, shared values, the
// tubes as they are now (after adjustment), `before` as taken earlier (empty for none), the
// matching verdict, the warm-up log with the last mains reading in it, and who did it.
ServiceJob serviceJobFromBench(const BenchSnapshot& bench, const QList<ServiceTube>& before,
                               const WarmupLog& log, const QString& technician, const QString& tubeBrand,
                               const QString& notes, const QDateTime& date);

// A new job from an old one: its setup and shared values, the readings it was finished with.
BenchStart benchStartFromJob(const ServiceJob& job);

// The report of the bench. `profileName` is the saved amp chosen, empty for none (the title then
// reads "<tube type> amp").
BiasReportData biasReportFromBench(const BenchSnapshot& bench, const QString& profileName);
