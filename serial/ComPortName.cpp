#include "serial/ComPortName.h"

namespace {

bool Fail(QString *Problem, const QString &Text)
{
    if (Problem)
        *Problem = Text;
    return false;
}

} // namespace

QString TNetPortName::Address() const
{
    const QString host = Host.contains(QLatin1Char(':')) ? QLatin1Char('[') + Host + QLatin1Char(']') : Host;
    return host + QLatin1Char(':') + QString::number(Port);
}

bool IsNetPortName(const QString &Port)
{
    return Port.contains(QLatin1String("://"));
}

bool ParseNetPortName(const QString &Port, TNetPortName &Name, QString *Problem)
{
    const qsizetype sep = Port.indexOf(QLatin1String("://"));
    if (sep < 0)
        return Fail(Problem, QStringLiteral("'%1' is no network port name (rfc2217://HOST:PORT or tcp://HOST:PORT)").arg(Port));
    const QString scheme = Port.left(sep);
    if (scheme == QLatin1String("rfc2217"))
        Name.Scheme = nsRfc2217;
    else if (scheme == QLatin1String("tcp"))
        Name.Scheme = nsTcp;
    else
        return Fail(Problem, QStringLiteral("unknown scheme '%1' in '%2': use rfc2217://HOST:PORT or tcp://HOST:PORT")
                                 .arg(scheme, Port));
    const QString rest = Port.mid(sep + 3);
    qsizetype colon;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || close + 1 >= rest.size() || rest.at(close + 1) != QLatin1Char(':'))
            return Fail(Problem, QStringLiteral("'%1' needs [IPV6]:PORT after the scheme").arg(Port));
        Name.Host = rest.mid(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return Fail(Problem, QStringLiteral("'%1' needs HOST:PORT after the scheme").arg(Port));
        Name.Host = rest.left(colon);
        if (Name.Host.contains(QLatin1Char(':')))
            return Fail(Problem, QStringLiteral("'%1': write an IPv6 address in brackets, [%2]").arg(Port, Name.Host));
    }
    bool ok = false;
    const QString number = rest.mid(colon + 1);
    const uint port = number.toUInt(&ok, 10);
    if (Name.Host.isEmpty() || Name.Host.contains(QLatin1Char('/')) || Name.Host.contains(QLatin1Char(' ')))
        return Fail(Problem, QStringLiteral("'%1' has no valid host").arg(Port));
    if (!ok || port == 0 || port > 65535 || !number.at(0).isDigit())
        return Fail(Problem, QStringLiteral("'%1' has no valid TCP port (1 to 65535)").arg(Port));
    Name.Port = quint16(port);
    return true;
}
