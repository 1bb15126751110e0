#pragma once
// Internal: the system's description of one of its error numbers. Implemented in the
// backend folder.

#include <QString>

QString SystemErrorText(int Err);
