#include "qmltypes.h"

#include "language/httplanguagepackage.h"

#include <QtQml>

namespace {

template <typename T> void registerType(const char *name)
{
    qmlRegisterType<T>(name, 1, 0, name);
}

} // namespace

void registerQmlTypes()
{
    registerType<HttplanguagePackage>("HttplanguagePackage");
}
