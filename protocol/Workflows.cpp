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
int ReadSensorCommands(TSensorContext &context)
{
    return FirstFailure({DevInertTWork(context, false), DevInertTCalib(context, false), DevCalStabTime(context, false),
                         DevInpFltTime(context, false), DevHystWidth(context, false), DevCalOn(context, false),
                         DevCalOff(context, false)});
}

int WriteSensorCommands(TSensorContext &context)
{
    return FirstFailure({DevInertTWork(context, true), DevInertTCalib(context, true), DevCalStabTime(context, true),
                         DevInpFltTime(context, true), DevHystWidth(context, true), DevSaveConf(context)});
}

int CalibrateSensorCommands(TSensorContext &context, bool on)
{
    return FirstFailure({DevInertTCalib(context, true), DevCalStabTime(context, true),
                         on ? DevCalOn(context, true) : DevCalOff(context, true)});
}
