#include "startupcontext.h"

#include <QQmlContext>
#include <QVariant>

void StartupContext::publish(QQmlContext *context) const
{
    context->setContextProperty(QStringLiteral("updateStatus"), QVariant(0));
    context->setContextProperty(QStringLiteral("downloadFilePath"), downloadFilePath);
    context->setContextProperty(QStringLiteral("downloadFileName"), downloadFileName);
    context->setContextProperty(QStringLiteral("httpContents"), httpContents);
    context->setContextProperty(QStringLiteral("sysInforName"), sysInforName);
    context->setContextProperty(QStringLiteral("versionDescription"), versionDescription);
    context->setContextProperty(QStringLiteral("curretnVersionInfor"), curretnVersionInfor);
    context->setContextProperty(QStringLiteral("newVersionInfor"), newVersionInfor);
    context->setContextProperty(QStringLiteral("reloadView"), reloadView);
    context->setContextProperty(QStringLiteral("systemStatus"), QVariant(0));
    context->setContextProperty(QStringLiteral("screenRate"), screenRate);
    context->setContextProperty(QStringLiteral("commpanyNamesInfor"), QString());
    context->setContextProperty(QStringLiteral("addressesInfor"), QString());
    context->setContextProperty(QStringLiteral("zipCodesInfor"), QString());
}
