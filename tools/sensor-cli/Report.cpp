#include "tools/sensor-cli/Report.h"

#include "protocol/FieldText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

bool Succeeded(const TPortOutcome &out)
{
    return out.Code == ExitOk;
}

QString ValuesText(const TFieldTexts &values)
{
    QStringList parts;
    for (TDeviceField field : AllFields)
        if (!values[field].isEmpty())
            parts << FieldName(field) + QLatin1Char('=') + values[field];
    return parts.join(QLatin1Char(' '));
}

QString DifferencesText(const QList<TDifference> &differences)
{
    QStringList parts;
    for (const TDifference &d : differences)
        parts << QStringLiteral("%1: sent %2, sensor holds %3").arg(FieldName(d.Field), d.Sent, d.Held);
    return QLatin1Char('[') + parts.join(QStringLiteral("; ")) + QLatin1Char(']');
}

QString PortLine(const QString &command, const TPortOutcome &out)
{
    QStringList parts{out.Port + QLatin1Char(':'), out.Status};
    if (!out.Detail.isEmpty())
        parts << (Succeeded(out) ? out.Detail : QLatin1Char('(') + out.Detail + QLatin1Char(')'));
    if (command != QLatin1String("find")) {
        const QString values = ValuesText(out.Values);
        if (!values.isEmpty())
            parts << values;
    }
    if (!out.Differences.isEmpty())
        parts << DifferencesText(out.Differences);
    return parts.join(QLatin1Char(' ')) + QLatin1Char('\n');
}

QByteArray Json(QJsonObject document)
{
    document.insert(QStringLiteral("format"), JsonFormat);
    return QJsonDocument(document).toJson();
}

} // namespace

QJsonValue FieldJson(TDeviceField field, const QString &text)
{
    try {
        if (field != dfHystWidth)
            return qint64(StrToInt(text));
        const float value = float(StrToFloat(text));
        if (!std::isfinite(value))
            return text;
        // The double nearest to the shortest decimal prints as that decimal again.
        return FormatShortest(value).toDouble();
    } catch (const EConvertError &) {
        return text;
    }
}

QString ReportText(const QString &command, const QList<TPortOutcome> &outcomes, bool quiet)
{
    QString text;
    qsizetype good = 0;
    for (const TPortOutcome &out : outcomes) {
        good += Succeeded(out) ? 1 : 0;
        if (!quiet || !Succeeded(out))
            text += PortLine(command, out);
    }
    if (command == QLatin1String("find"))
        return text + QStringLiteral("%1 of %2 ports have a sensor\n").arg(good).arg(outcomes.size());
    return text + QStringLiteral("%1 of %2 ports succeeded\n").arg(good).arg(outcomes.size());
}

QByteArray ReportJson(const QString &command, const QList<TPortOutcome> &outcomes)
{
    QJsonArray ports;
    qint64 good = 0;
    for (const TPortOutcome &out : outcomes) {
        good += Succeeded(out) ? 1 : 0;
        QJsonObject values;
        for (TDeviceField field : AllFields)
            if (!out.Values[field].isEmpty())
                values.insert(FieldName(field), FieldJson(field, out.Values[field]));
        QJsonObject port{{QStringLiteral("port"), out.Port},
                         {QStringLiteral("status"), out.Status},
                         {QStringLiteral("exit_code"), out.Code},
                         {QStringLiteral("values"), values}};
        if (!out.Detail.isEmpty())
            port.insert(QStringLiteral("detail"), out.Detail);
        if (!out.Differences.isEmpty()) {
            QJsonArray differences;
            for (const TDifference &d : out.Differences)
                differences.append(QJsonObject{{QStringLiteral("field"), FieldName(d.Field)},
                                               {QStringLiteral("sent"), FieldJson(d.Field, d.Sent)},
                                               {QStringLiteral("held"), FieldJson(d.Field, d.Held)}});
            port.insert(QStringLiteral("differences"), differences);
        }
        ports.append(port);
    }
    return Json({{QStringLiteral("command"), command},
                 {QStringLiteral("ports"), ports},
                 {QStringLiteral("succeeded"), good},
                 {QStringLiteral("failed"), qint64(outcomes.size()) - good}});
}

QString PortsText(const QList<TListedPort> &ports)
{
    QString text;
    for (const TListedPort &port : ports)
        text += QStringList{port.Name, port.Path, port.Description, port.ById.join(QLatin1Char(' '))}.join(
                    QLatin1Char('\t'))
            + QLatin1Char('\n');
    return text;
}

QByteArray PortsJson(const QList<TListedPort> &ports)
{
    QJsonArray list;
    for (const TListedPort &port : ports)
        list.append(QJsonObject{{QStringLiteral("name"), port.Name},
                                {QStringLiteral("path"), port.Path},
                                {QStringLiteral("description"), port.Description},
                                {QStringLiteral("by_id"), QJsonArray::fromStringList(port.ById)}});
    return Json({{QStringLiteral("command"), QStringLiteral("ports")}, {QStringLiteral("ports"), list}});
}
