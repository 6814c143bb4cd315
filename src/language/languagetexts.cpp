#include "languagetexts.h"

#include "language/httplanguagepackage.h"

#include <QMetaProperty>
#include <QVariantMap>

namespace {

const QString s_prefix = QStringLiteral("tip_");

} // namespace

LanguageTextsBase::LanguageTextsBase(QObject *parent) : QObject(parent) {}

void LanguageTextsBase::setTarget(QObject *target)
{
    if (target == m_target)
        return;
    m_target = target;
    emit targetChanged();
}

void LanguageTextsBase::setLanguagePackage(QObject *package)
{
    if (package == m_package)
        return;
    m_package = package;
    emit languagePackageChanged();
}

void LanguageTextsBase::setDefaults(const QVariant &defaults)
{
    m_defaults = defaults;
    emit defaultsChanged();
}

void LanguageTextsBase::captureDefaults()
{
    QVariantMap found;
    if (m_target) {
        // A document's own properties are in its meta-object, declared ones included.
        const QMetaObject *meta = m_target->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            const QString name = QString::fromLatin1(property.name());
            if (!name.startsWith(s_prefix))
                continue;
            const QVariant value = property.read(m_target);
            if (value.userType() == QMetaType::QString)
                found.insert(name, value);
        }
    }
    setDefaults(found);
}

void LanguageTextsBase::apply()
{
    if (!m_target || !m_package)
        return;
    if (m_defaults.userType() != QMetaType::QVariantMap)
        captureDefaults();
    const QVariantMap defaults = m_defaults.toMap();
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        const QString text = lookUp(it.key().mid(s_prefix.size()));
        const QVariant wanted = text.isEmpty() ? it.value() : QVariant(text);
        const QByteArray name = it.key().toLatin1();
        // Writing an unchanged text would still wake every binding on it.
        if (m_target->property(name.constData()) != wanted)
            m_target->setProperty(name.constData(), wanted);
    }
}

QString LanguageTextsBase::text(const QString &key, const QString &fallback) const
{
    const QString found = lookUp(key);
    return found.isEmpty() ? fallback : found;
}

QString LanguageTextsBase::lookUp(const QString &key) const
{
    if (!m_package)
        return QString();
    if (const auto *package = qobject_cast<const HttplanguagePackage *>(m_package.data()))
        return package->getLangFileName(key);
    // A package written in a document takes and gives variants.
    QVariant found;
    QMetaObject::invokeMethod(m_package.data(), "getLangFileName", Q_RETURN_ARG(QVariant, found),
                              Q_ARG(QVariant, key));
    return found.toString();
}
