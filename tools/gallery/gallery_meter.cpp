// The Meter panel reading the bench: the simulated meter on the program's clock, moved on by the
// page, so that the warm-up of minutes is drawn at once. The card being read is marked.
#include "gallery.h"

#include "app/clock.h"
#include "bench/mainwindow.h"
#include "meter/meterpanel.h"

#include <QComboBox>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

namespace {

// The program's clock, standing still until the page moves it; what is scheduled on it runs as
// its moment is passed, in the order of those moments.
class PageClock : public Clock
{
public:
    PageClock() : nowMs(QDateTime(QDate(2026, 3, 14), QTime(9, 30)).toMSecsSinceEpoch())
    {
        setInstance(this);
    }
    ~PageClock() override { setInstance(nullptr); }
    PageClock(const PageClock&) = delete;
    PageClock& operator=(const PageClock&) = delete;

    void advance(qint64 ms)
    {
        const qint64 end = nowMs + ms;
        for (;;) {
            auto next = std::min_element(due.begin(), due.end(), [](const Due& a, const Due& b) {
                return a.at != b.at ? a.at < b.at : a.order < b.order;
            });
            if (next == due.end() || next->at > end)
                break;
            const Due run = *next;
            due.erase(next);
            nowMs = qMax(nowMs, run.at);
            if (run.context || run.contextless)
                run.action();
        }
        nowMs = end;
    }

protected:
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(nowMs); }
    void schedule(int ms, const QObject* context, std::function<void()> action) override
    {
        due.append({nowMs + qMax(ms, 0), order++, context, context == nullptr, std::move(action)});
    }

private:
    struct Due {
        qint64 at = 0;
        quint64 order = 0;
        QPointer<const QObject> context;
        bool contextless = false;
        std::function<void()> action;
    };
    qint64 nowMs = 0;
    quint64 order = 0;
    QList<Due> due;
};

// Moves the clock a second at a time until `done`, for at most ten minutes of the meter's time.
template <typename Done> void runMeter(PageClock& clock, Done done)
{
    for (int s = 0; s < 600 && !done(); ++s)
        clock.advance(1000);
}

} // namespace

GALLERY_PAGE(meter)
{
    PageClock clock;
    MainWindow window;
    BenchSession& bench = window.session();
    bench.setTubeCount(4);
    window.openMeterPanel();
    MeterPanel* panel = window.meterPanel();
    panel->protocolBox->setCurrentIndex(panel->protocolBox->findData(QStringLiteral("simulated")));
    panel->connectButton->click();

    // Tube 1 is read; the panel waits for tube 2 to hold still.
    runMeter(clock, [&] { return bench.reading(0).meas1 > 0; });
    clock.advance(1500);
    saveWidget(&window, out, QStringLiteral("window_meter_reading_tube2.png"), 200);
    saveWidget(panel, out, QStringLiteral("meter_panel_reading_tube2.png"), 200);

    // All four read, hands-free.
    runMeter(clock, [&] { return bench.reading(3).meas1 > 0; });
    saveWidget(&window, out, QStringLiteral("window_meter_four_tubes_read.png"), 200);
    saveWidget(panel, out, QStringLiteral("meter_panel_four_tubes_read.png"), 200);
}
