#include "meter/benchmeterlink.h"

#include "bench/benchsession.h"
#include "bias/biasmethods.h"
#include "meter/meterpanel.h"

namespace {

void followSetup(MeterPanel& panel, const BenchSession& session)
{
    const ReadingField field = firstReadingField(session.setup().method, session.setup().shared);
    panel.setReadingField(field.label, field.suffix, field.maximum);
    panel.setTubeCount(session.tubeCount());
}

} // namespace

void linkMeterToBench(MeterPanel& panel, BenchSession& session)
{
    followSetup(panel, session);
    QObject::connect(&session, &BenchSession::setupChanged, &panel,
                     [&panel, &session] { followSetup(panel, session); });
    QObject::connect(&session, &BenchSession::cardsRebuilt, &panel,
                     [&panel, &session] { followSetup(panel, session); });
    QObject::connect(&panel, &MeterPanel::commitReading, &session,
                     [&session](int tube, double value) { session.setMeas1(tube, value); });
}
