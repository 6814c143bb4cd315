#include "qmltypes.h"

#include "config/aesiteminfor.h"
#include "directory/filteruserauthority.h"
#include "directory/getcompany.h"
#include "directory/loadpersonnelinfor.h"
#include "directory/qtreemodel.h"
#include "directory/treemodelitem.h"
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
    registerType<QTreeModel>("QTreeModel");
    registerType<SystemHandl>("SystemHandl");
    registerType<SystemRequest>("SystemRequest");
    registerType<GetCompany>("GetCompany");
    registerType<LoadPersonnelinfor>("LoadPersonnelinfor");
    registerType<MenuItem>("MenuItem");
    registerType<TreeModelitem>("TreeModelitem");
    registerType<AesIteminfor>("AesIteminfor");
    registerType<FilteruserAuthority>("FilteruserAuthority");
    registerType<HttpRequest>("HttpRequest");
    registerType<HttplanguagePackage>("HttplanguagePackage");
}
