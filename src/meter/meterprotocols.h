#pragma once

// The meter protocols the panel offers, one row each: how to talk to the meter (serial settings,
// poll interval, which links it works over) and which decoder reads it. Each protocol lives in a
// file of its own (scpidecoder, ut61edecoder, fluke28xdecoder, simulatedmeter); a new one is one
// more file and one more row here. HID meters (the UT61E+'s CP2110 adapter, Brymen's BU-86X) will
// be rows with a `hid` link and a decoder fed HID reports by a connection of their own.
#include "meter/meterdecoder.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

struct MeterSerialSettings {
    qint32 baud = 9600;
    int dataBits = 8;
    char parity = 'N'; // 'N', 'O' or 'E'
    int stopBits = 1;
    bool dtr = false; // raised while connected (the UT61E's optical cable draws its power from it)
    bool rts = false;
};

struct MeterProtocol {
    QString id;   // stable, stored in the settings
    QString name; // as the protocol list shows it
    bool overSerial = false;
    bool overNetwork = false; // TCP, 5025 by default
    bool simulated = false;
    MeterSerialSettings serial;
    int pollMs = 0;                                             // how often poll() is called while connected
    std::function<std::unique_ptr<MeterDecoder>()> makeDecoder; // null for the simulated meter
};

inline constexpr quint16 defaultMeterTcpPort = 5025; // SCPI's raw socket port

const QList<MeterProtocol>& meterProtocols();
const MeterProtocol* findMeterProtocol(const QString& id);
