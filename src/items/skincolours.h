#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

// The colour arithmetic of the skin pickers, one object for every document.
class SkinColours : public QObject
{
    Q_OBJECT
public:
    explicit SkinColours(QObject *parent = nullptr) : QObject(parent) {}

    // The colour at a place (0..1, clamped) of a strip of "#rrggbb" stops, mixed channel by
    // channel between the two stops around it.
    Q_INVOKABLE static QString hueAt(const QStringList &stops, qreal place);
    // `hex` darker by `amount` (0..1, clamped): 1 halves its brightness.
    Q_INVOKABLE static QString shade(const QString &hex, qreal amount);
    // The index of the skin ({color: "#rrggbb"} entries) whose colour is `hex`, in any case;
    // -1 for a custom colour.
    Q_INVOKABLE static int indexOfSkin(const QVariantList &skins, const QString &hex);
};
