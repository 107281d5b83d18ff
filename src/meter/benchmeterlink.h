#pragma once

// Wires the Meter panel to the bench model: the panel reads the field the bench's method asks for
// (BiasMethodInfo::first) into as many tubes as the bench has, and a committed value becomes one
// model call, BenchSession::setMeas1. The cards show it because they show the model.
class BenchSession;
class MeterPanel;

void linkMeterToBench(MeterPanel& panel, BenchSession& session);
