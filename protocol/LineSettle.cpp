#include "protocol/LineSettle.h"

#include "serial/ComPort.h"

TLineSettle::TLineSettle(TCustomComPort &port) : QObject(&port)
{
    // A closed line owes nothing: what it brought meanwhile is drained before the next request.
    QObject::connect(&port, &TCustomComPort::HandleClosing, this, [this] { MarkSettled(); });
}

TLineSettle &TLineSettle::Of(TCustomComPort &port)
{
    for (QObject *child : port.children())
        if (auto *line = qobject_cast<TLineSettle *>(child))
            return *line;
    return *new TLineSettle(port);
}

void TLineSettle::Unsettle()
{
    FSettled = false;
    FQuiet.restart();
}
