#include "qmltypes.h"

#include "config/aesiteminfor.h"
#include "items/codepainter.h"
#include "items/textballoon.h"
#include "language/httplanguagepackage.h"
#include "reminders/menuitem.h"
#include "reminders/systemhandl.h"
#include "reminders/systemrequest.h"
#include "update/httprequest.h"

#include <QtQml>

namespace {

template <typename T> void registerType(const char *name)
{
    qmlRegisterType<T>(name, 1, 0, name);
}

} // namespace

void registerQmlTypes()
{
    registerType<CodePainter>("CodePainter");
    registerType<TextBalloon>("TextBalloon");
    registerType<SystemHandl>("SystemHandl");
    registerType<SystemRequest>("SystemRequest");
    registerType<MenuItem>("MenuItem");
    registerType<AesIteminfor>("AesIteminfor");
    registerType<HttpRequest>("HttpRequest");
    registerType<HttplanguagePackage>("HttplanguagePackage");
}
