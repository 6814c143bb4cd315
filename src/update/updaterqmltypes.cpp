#include "updaterqmltypes.h"

#include "language/httplanguagepackage.h"
#include "update/decompressionfile.h"
#include "update/updaterconfig.h"
#include "update/updaterhttprequest.h"

#include <QtQml>

void registerUpdaterQmlTypes()
{
    // The updater's window knows these types by the client's names.
    qmlRegisterType<UpdaterConfig>("ConfigData", 1, 0, "ConfigData");
    qmlRegisterType<UpdaterHttpRequest>("HttpRequest", 1, 0, "HttpRequest");
    qmlRegisterType<DecompressionFile>("DecompressionFile", 1, 0, "DecompressionFile");
    qmlRegisterType<HttplanguagePackage>("HttplanguagePackage", 1, 0, "HttplanguagePackage");
}
