// The reason and remedy below the open box, for each thing the system can show.

#include "app/OpenFailureReason.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {
TComOpenFailure NoPermission(bool Listed, bool Session, const QString &Group = QStringLiteral("dialout"))
{
    TComOpenFailure f;
    f.Reason = TComOpenFailure::ofNoPermission;
    f.Error = EACCES;
    f.DevicePath = QStringLiteral("/dev/ttyUSB0");
    f.Group = Group;
    f.User = QStringLiteral("ivan");
    f.UserInGroup = Listed;
    f.SessionInGroup = Session;
    return f;
}
} // namespace

TEST(OpenFailureReason, PermissionAdviceFollowsTheUsersMembership)
{
    EXPECT_EQ(OpenFailureReason(NoPermission(false, false)),
              QStringLiteral("Нет прав на доступ к /dev/ttyUSB0. Устройство принадлежит группе «dialout». Добавьте "
                             "себя в неё командой «sudo usermod -aG dialout $USER», затем выйдите из системы и "
                             "войдите снова: новая группа действует только после нового входа."));
    EXPECT_EQ(OpenFailureReason(NoPermission(true, false)),
              QStringLiteral("Нет прав на доступ к /dev/ttyUSB0. Пользователь ivan уже добавлен в группу «dialout», "
                             "которой принадлежит устройство, но это действует только после нового входа: выйдите "
                             "из системы и войдите снова."));
    EXPECT_TRUE(OpenFailureReason(NoPermission(true, true)).contains(QStringLiteral("не разрешены чтение и запись")));
    EXPECT_EQ(OpenFailureReason(NoPermission(false, false, {})),
              QStringLiteral("Нет прав на доступ к /dev/ttyUSB0. Попросите администратора дать вам доступ к этому "
                             "устройству."));
}

TEST(OpenFailureReason, BusyWithAndWithoutANameAndOtherErrors)
{
    TComOpenFailure busy;
    busy.Reason = TComOpenFailure::ofBusy;
    busy.Error = EBUSY;
    busy.DevicePath = QStringLiteral("/dev/ttyACM0");
    EXPECT_EQ(OpenFailureReason(busy),
              QStringLiteral("Порт /dev/ttyACM0 занят другой программой. Закройте её и попробуйте снова."));
    busy.Holders = {QStringLiteral("minicom (pid 42)"), QStringLiteral("cu (pid 43)")};
    EXPECT_EQ(OpenFailureReason(busy), QStringLiteral("Порт /dev/ttyACM0 занят другой программой: minicom (pid 42), "
                                                      "cu (pid 43). Закройте её и попробуйте снова."));

    TComOpenFailure other;
    other.Error = EIO;
    EXPECT_TRUE(OpenFailureReason(other).startsWith(QStringLiteral("Системная ошибка 5: ")));
    other.Error = -1;
    EXPECT_TRUE(OpenFailureReason(other).isEmpty());
}

TEST(OpenFailureReason, NetworkLinesNameTheServerAndWhatItDid)
{
    const QString port = QStringLiteral("rfc2217://127.0.0.1:4001");
    struct Case {
        int Error;
        const char *Says;
    } cases[] = {
        {ECONNREFUSED, "127.0.0.1:4001 отказывает в соединении"},
        {ENXIO, "Узел 127.0.0.1:4001 не найден"},
        {ETIMEDOUT, "Нет ответа от 127.0.0.1:4001"},
        {EPROTO, "не отвечает по RFC 2217"},
        {EBUSY, "Порт на сервере 127.0.0.1:4001 занят другим клиентом."},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(OpenFailureReason(DiagnoseOpenFailure(port, c.Error)).contains(QString::fromUtf8(c.Says)))
            << c.Error << " " << OpenFailureReason(DiagnoseOpenFailure(port, c.Error)).toStdString();
    TComOpenFailure busy = DiagnoseOpenFailure(port, EBUSY);
    busy.ServerText = QStringLiteral("Port already in use");
    EXPECT_TRUE(OpenFailureReason(busy).endsWith(QStringLiteral("Сервер сообщает: «Port already in use».")));
    EXPECT_TRUE(OpenFailureReason(DiagnoseOpenFailure(QStringLiteral("serial://h:1"), EINVAL))
                    .contains(QStringLiteral("unknown scheme 'serial'")));
}
