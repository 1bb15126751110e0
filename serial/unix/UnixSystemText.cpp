#include "serial/ComSystemText_p.h"

#include <system_error>

QString SystemErrorText(int Err)
{
    return QString::fromStdString(std::system_category().message(Err));
}
