#include "text.h"

#include "language/languageinformation.h"

namespace tarnex {

QString text(const QString &key, const QString &builtIn)
{
    const QString loaded = LanguageInformation::instance()->textFor(key);
    return loaded.isEmpty() ? builtIn : loaded;
}

} // namespace tarnex
