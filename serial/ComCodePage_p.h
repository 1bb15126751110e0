#pragma once
// Internal: text in a port's code page.

#include <QByteArray>
#include <QString>

/// 0 and 65001 are UTF-8; other numbers name a Windows or DOS code page (1251, 866, ...).
/// False when the code page is not known.
bool EncodeInCodePage(quint32 CodePage, const QString &Text, QByteArray &Bytes);
bool DecodeFromCodePage(quint32 CodePage, const QByteArray &Bytes, QString &Text);
bool IsKnownCodePage(quint32 CodePage);
