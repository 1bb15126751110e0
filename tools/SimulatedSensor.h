#pragma once
// A simulated sensor on its own pseudo-terminal, served by a background thread: what tests
// use in place of a device. The configurator side opens Path().

#include "tools/Pty.h"
#include "tools/SensorSim.h"

#include <thread>

class TSimulatedSensor {
public:
    explicit TSimulatedSensor(const TSensorOptions &options = {});
    /// Stops the thread and closes the line.
    ~TSimulatedSensor();
    TSimulatedSensor(const TSimulatedSensor &) = delete;
    TSimulatedSensor &operator=(const TSimulatedSensor &) = delete;

    QString Path() const { return FPty.SlavePath(); }
    TSensorSim &Sensor() { return FSim; }
    /// Bytes put on the line towards the configurator, outside any reply.
    void Inject(const QByteArray &bytes);
    /// Stops serving and closes the line: the configurator's port hangs up.
    void Unplug();

private:
    void Stop();

    TPtyPair FPty;
    TSensorSim FSim;
    int FStop[2] = {-1, -1};
    std::thread FThread;
};
