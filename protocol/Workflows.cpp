#include "protocol/Workflows.h"

#include "protocol/Commands.h"

#include <initializer_list>

namespace {
/// The first nonzero result of commands that have all run already.
int FirstFailure(std::initializer_list<int> results)
{
    for (int result : results)
        if (result != 0)
            return result;
    return 0;
}
} // namespace

// Braced lists run their elements in order, so the commands go out in the order written.
int ReadSensorCommands()
{
    return FirstFailure({DevInertTWork(false), DevInertTCalib(false), DevCalStabTime(false), DevInpFltTime(false),
                         DevHystWidth(false), DevCalOn(false), DevCalOff(false)});
}

int WriteSensorCommands()
{
    return FirstFailure({DevInertTWork(true), DevInertTCalib(true), DevCalStabTime(true), DevInpFltTime(true),
                         DevHystWidth(true), DevSaveConf()});
}

int CalibrateSensorCommands(bool on)
{
    return FirstFailure({DevInertTCalib(true), DevCalStabTime(true), on ? DevCalOn(true) : DevCalOff(true)});
}
