#include "app/OpenFailureReason.h"

#include <system_error>

namespace {

QString NoPermission(const TComOpenFailure &F)
{
    const QString head = QStringLiteral("Нет прав на доступ к %1.").arg(F.DevicePath);
    if (F.Group.isEmpty())
        return head + QStringLiteral(" Попросите администратора дать вам доступ к этому устройству.");
    if (F.SessionInGroup)
        return head
               + QStringLiteral(" Вы входите в группу «%1», которой принадлежит устройство, но этой группе не "
                                "разрешены чтение и запись. Попросите администратора дать доступ к устройству.")
                     .arg(F.Group);
    if (F.UserInGroup)
        return head
               + QStringLiteral(" Пользователь %1 уже добавлен в группу «%2», которой принадлежит устройство, но "
                                "это действует только после нового входа: выйдите из системы и войдите снова.")
                     .arg(F.User, F.Group);
    return head
           + QStringLiteral(" Устройство принадлежит группе «%1». Добавьте себя в неё командой "
                            "«sudo usermod -aG %1 $USER», затем выйдите из системы и войдите снова: "
                            "новая группа действует только после нового входа.")
                 .arg(F.Group);
}

} // namespace

QString OpenFailureReason(const TComOpenFailure &F)
{
    switch (F.Reason) {
    case TComOpenFailure::ofNoPermission:
        return NoPermission(F);
    case TComOpenFailure::ofBusy:
        if (F.Holders.isEmpty())
            return QStringLiteral("Порт %1 занят другой программой. Закройте её и попробуйте снова.").arg(F.DevicePath);
        return QStringLiteral("Порт %1 занят другой программой: %2. Закройте её и попробуйте снова.")
            .arg(F.DevicePath, F.Holders.join(QStringLiteral(", ")));
    case TComOpenFailure::ofGone:
        return QStringLiteral("Устройства %1 больше нет в системе (адаптер отключён?). Подключите его снова или "
                              "выберите другой порт.")
            .arg(F.DevicePath);
    case TComOpenFailure::ofNotTerminal:
        return QStringLiteral("%1 — не терминал, это не последовательный порт. Выберите другой порт.").arg(F.DevicePath);
    case TComOpenFailure::ofBadName:
        return QStringLiteral("Неверное имя сетевого порта: %1.").arg(F.ServerText);
    case TComOpenFailure::ofRefused:
        return QStringLiteral("%1 отказывает в соединении: там никто не ждёт подключений. Проверьте адрес, порт и "
                              "запущен ли сервер последовательных портов.")
            .arg(F.DevicePath);
    case TComOpenFailure::ofUnknownHost:
        return QStringLiteral("Узел %1 не найден. Проверьте имя или адрес.").arg(F.DevicePath);
    case TComOpenFailure::ofNoAnswer:
        return QStringLiteral("Нет ответа от %1. Проверьте сеть и адрес сервера.").arg(F.DevicePath);
    case TComOpenFailure::ofNotRfc2217:
        return QStringLiteral("%1 принимает соединение, но не отвечает по RFC 2217 (возможно, это порт с "
                              "«сырым» TCP: выберите tcp://).")
            .arg(F.DevicePath);
    case TComOpenFailure::ofServerBusy:
        if (F.ServerText.isEmpty())
            return QStringLiteral("Порт на сервере %1 занят другим клиентом.").arg(F.DevicePath);
        return QStringLiteral("Порт на сервере %1 занят другим клиентом. Сервер сообщает: «%2».")
            .arg(F.DevicePath, F.ServerText);
    case TComOpenFailure::ofServerClosed:
        return QStringLiteral("Сервер %1 закрыл соединение при подключении.").arg(F.DevicePath);
    case TComOpenFailure::ofOther:
        break;
    }
    if (F.Error <= 0)
        return {};
    return QStringLiteral("Системная ошибка %1: %2.")
        .arg(F.Error)
        .arg(QString::fromStdString(std::system_category().message(F.Error)));
}
