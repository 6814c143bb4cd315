#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

// Puts the loaded language package's texts into a document's tip_* properties. A key the
// package lacks gets the document's built-in text back, never the previous language's text.
class LanguageTextsBase : public QObject
{
    Q_OBJECT
    // The document whose tip_* properties are set, and its language package (anything with a
    // getLangFileName(key) method).
    Q_PROPERTY(QObject *target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(QObject *languagePackage READ languagePackage WRITE setLanguagePackage NOTIFY
                   languagePackageChanged)
    // The built-in texts by property name, taken from the target before the first package is
    // applied; null until then.
    Q_PROPERTY(QVariant defaults READ defaults WRITE setDefaults NOTIFY defaultsChanged)
public:
    explicit LanguageTextsBase(QObject *parent = nullptr);

    QObject *target() const { return m_target; }
    void setTarget(QObject *target);
    QObject *languagePackage() const { return m_package; }
    void setLanguagePackage(QObject *package);
    QVariant defaults() const { return m_defaults; }
    void setDefaults(const QVariant &defaults);

    Q_INVOKABLE void captureDefaults();
    Q_INVOKABLE void apply();
    // A text that is not a property: the package's, or the given built-in one.
    Q_INVOKABLE QString text(const QString &key, const QString &fallback) const;

signals:
    void targetChanged();
    void languagePackageChanged();
    void defaultsChanged();

private:
    QString lookUp(const QString &key) const;

    QPointer<QObject> m_target;
    QPointer<QObject> m_package;
    QVariant m_defaults = QVariant::fromValue(nullptr);
};
