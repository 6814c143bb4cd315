#include "qmltypes.h"

#include "config/aesiteminfor.h"
#include "items/codepainter.h"
#include "items/textballoon.h"
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
    registerType<CodePainter>("CodePainter");
    registerType<TextBalloon>("TextBalloon");
    registerType<AesIteminfor>("AesIteminfor");
    registerType<HttplanguagePackage>("HttplanguagePackage");
}
