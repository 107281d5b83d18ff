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

// The report of the bench. `profileName` is the saved amp chosen, empty for none (the title then
// reads "<tube type> amp").
BiasReportData biasReportFromBench(const BenchSnapshot& bench, const QString& profileName);
