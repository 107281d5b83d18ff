#include "meter/meterprotocols.h"

#include "meter/fluke28xdecoder.h"
#include "meter/scpidecoder.h"
#include "meter/ut61edecoder.h"

namespace {

MeterProtocol row(const char* id, const char* name, bool serial, bool network, MeterSerialSettings settings,
                  int pollMs, std::function<std::unique_ptr<MeterDecoder>()> make)
{
    MeterProtocol p;
    p.id = QString::fromLatin1(id);
    p.name = QString::fromUtf8(name);
    p.overSerial = serial;
    p.overNetwork = network;
    p.serial = settings;
    p.pollMs = pollMs;
    p.makeDecoder = std::move(make);
    return p;
}

std::function<std::unique_ptr<MeterDecoder>()> scpi(ScpiDialect dialect)
{
    return [dialect] { return std::make_unique<ScpiDecoder>(dialect); };
}

QList<MeterProtocol> buildProtocols()
{
    // clang-format off
    //                          baud  bits par stop dtr    rts
    const MeterSerialSettings usb8n1  {115200, 8, 'N', 1, false, false};
    const MeterSerialSettings rs232   {9600,   8, 'N', 1, false, false};
    const MeterSerialSettings es51922 {19200,  7, 'O', 1, true,  false};
    QList<MeterProtocol> rows = {
        row("owon-xdm",     "Owon XDM (SCPI MEAS?)",                true,  true,  usb8n1,  200, scpi(ScpiDialect::OwonMeas)),
        row("scpi-read",    "SCPI meter (FUNC? and READ?)",         true,  true,  rs232,   200, scpi(ScpiDialect::ReadBack)),
        row("scpi-volt-dc", "SCPI meter, DC volts (MEAS:VOLT:DC?)", true,  true,  rs232,   200, scpi(ScpiDialect::MeasVoltDc)),
        row("scpi-curr-dc", "SCPI meter, DC current (MEAS:CURR:DC?)", true, true, rs232,   200, scpi(ScpiDialect::MeasCurrDc)),
        row("ut61e",        "UNI-T UT61E",                          true,  false, es51922, 500, [] { return std::make_unique<Ut61eDecoder>(); }),
        row("fluke28x",     "Fluke 287/289 (QM)",                   true,  false, usb8n1,  250, [] { return std::make_unique<Fluke28xDecoder>(); }),
        row("simulated",    "Simulated meter",                      false, false, {},      500, nullptr),
    };
    // clang-format on
    rows.last().simulated = true;
    return rows;
}

} // namespace

const QList<MeterProtocol>& meterProtocols()
{
    static const QList<MeterProtocol> rows = buildProtocols();
    return rows;
}

const MeterProtocol* findMeterProtocol(const QString& id)
{
    for (const MeterProtocol& p : meterProtocols()) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}
