#include "app/DesktopIdentity.h"

#include <QGuiApplication>
#include <QIcon>

static void InitIdentityResources()
{
    Q_INIT_RESOURCE(identity);
}

QString DesktopAppId()
{
    return QStringLiteral(TQ_APP_ID);
}

void SetDesktopIdentity()
{
    InitIdentityResources();
    QGuiApplication::setApplicationName(QStringLiteral("tq-configurator"));
    QGuiApplication::setDesktopFileName(DesktopAppId());
    QGuiApplication::setWindowIcon(QIcon::fromTheme(DesktopAppId(), QIcon(QStringLiteral(":/icons/application.svg"))));
}
