#pragma once
// The usage text of tq-sensor (--help), written like a manual page.

#include <QString>

QString UsageText();
