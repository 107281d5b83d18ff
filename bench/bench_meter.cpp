// The meter: how long a reading takes from the serial port to a repainted gauge, and what decoding
// costs at the pace meters send.
#include "benchmain.h"

#include "bench/benchsession.h"
#include "bias/biasmethods.h"
#include "bias/gaugewidget.h"
#include "bias/tubecardwidget.h"
#include "meter/fluke28xdecoder.h"
#include "meter/meterconnection.h"
#include "meter/meterfit.h"
#include "meter/scpidecoder.h"
#include "meter/ut61edecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

class PaintSeen : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

BENCHMARK_CASE(meter_reading_to_repainted_gauge)
{
    // A pseudo-terminal plays a UT61E; each frame goes through QSerialPort, the decoder and the
    // connection, fitted to the bench's reading field, into the bench model, whose tube card's gauge
    // must have repainted before the next frame is sent.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "  no pseudo-terminal\n");
        return;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    ::close(slave);

    BenchSession session;
    const ReadingField field = firstReadingField(session.setup().method);
    TubeCardWidget card(session, 0);
    card.resize(260, 360);
    card.show();
    drainEvents();
    auto* gauge = card.findChild<GaugeWidget*>();
    PaintSeen seen;
    gauge->installEventFilter(&seen);

    MeterConnection connection;
    QObject::connect(&connection, &MeterConnection::readingArrived, &session, [&](const MeterReading& r) {
        const MeterFit fit = fitMeterReading(r, field.suffix, field.maximum);
        if (fit.fits)
            session.setMeas1(0, fit.value);
    });
    if (!connection.openSerial(QString::fromLocal8Bit(name), QStringLiteral("ut61e"))) {
        std::fprintf(stderr, "  %s\n", qPrintable(connection.errorString()));
        ::close(master);
        return;
    }
    const QByteArray frames[] = {QByteArray("031270?000:0\r\n"), QByteArray("035600?000:0\r\n")};
    QVector<double> times;
    int n = 0;
    for (int i = 0; i < 1000; ++i) {
        seen.painted = false;
        const QByteArray& frame = frames[n++ % 2];
        QElapsedTimer timer;
        timer.start();
        if (::write(master, frame.constData(), size_t(frame.size())) != frame.size())
            break;
        while (!seen.painted && timer.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        times << double(timer.nsecsElapsed());
    }
    connection.close();
    ::close(master);
    report(QStringLiteral("meter reading to repainted gauge, median of %1").arg(times.size()),
           median(times) / 1e6, QStringLiteral("ms"), QStringLiteral("< 16.7 ms"));
    report(QStringLiteral("meter reading to repainted gauge, worst of %1").arg(times.size()),
           worst(times) / 1e6, QStringLiteral("ms"), QStringLiteral("< 16.7 ms"));
}

BENCHMARK_CASE(meter_decoding_cost)
{
    // Ten readings a second is a fast meter; the share of one core decoding takes at that pace.
    const QByteArray ut61e("031270?000:0\r\n");
    const QByteArray scpi("3.127E-02\n");
    const QByteArray fluke("0\r3.1270E-2,ADC,NORMAL,NONE\r");
    Ut61eDecoder ut;
    ScpiDecoder sc(ScpiDialect::MeasCurrDc);
    Fluke28xDecoder fl;
    fl.feed("0\rFLUKE 289\r");
    int readings = 0;
    const auto perReading = [&](const std::function<void()>& one, const char* label) {
        const QVector<double> runs = timeRuns(20000, one);
        const double ns = median(runs);
        report(QStringLiteral("%1 decode, per reading").arg(QLatin1String(label)), ns / 1000,
               QStringLiteral("µs"));
        report(QStringLiteral("%1 decode at 10 readings/s").arg(QLatin1String(label)), ns * 10 / 1e9 * 100,
               QStringLiteral("% of one core"), QStringLiteral("< 1 %"));
    };
    perReading([&] { readings += int(ut.feed(ut61e).readings.size()); }, "UT61E");
    perReading(
        [&] {
            sc.poll();
            sc.poll();
            sc.poll();
            readings += int(sc.feed(scpi).readings.size());
        },
        "SCPI");
    perReading(
        [&] {
            fl.poll();
            fl.poll();
            fl.poll();
            readings += int(fl.feed(fluke).readings.size());
        },
        "Fluke QM");
    if (readings < 3 * 20000)
        std::fprintf(stderr, "  only %d readings decoded\n", readings);
}
