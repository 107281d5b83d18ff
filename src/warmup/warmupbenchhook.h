#pragma once

// Feeds the warm-up recorder from the bench model: every reading committed to a tube (typed on its
// card or sent by a meter) is logged with the clock's time, once; a change of a shared value that
// only recomputes the results is not a new reading. The recorder learns the tube count from the
// bench, so "all tubes settled" waits for every tube on it; the log itself survives a change of the
// count, as it survives everything but clearing.
#include <QObject>
#include <QVector>

class BenchSession;
class WarmupRecorder;

class WarmupBenchHook : public QObject
{
    Q_OBJECT

public:
    WarmupBenchHook(BenchSession& bench, WarmupRecorder& recorder, QObject* parent = nullptr);

private:
    void tubeChanged(int tube);

    struct Logged {
        bool any = false;
        int method = 0;
        double meas1 = 0;
        double meas2 = 0;
    };

    BenchSession& bench;
    WarmupRecorder& recorder;
    QVector<Logged> lastLogged; // per tube: the reading logged last
};
