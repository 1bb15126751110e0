#include "serial/ComSystemText_p.h"

#include <windows.h>

QString SystemErrorText(int Err)
{
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, DWORD(Err), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString result = n ? QString::fromWCharArray(text, qsizetype(n)).trimmed()
                       : QStringLiteral("Unknown error %1").arg(Err);
    LocalFree(text);
    return result;
}
