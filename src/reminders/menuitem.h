#pragma once

#include <QList>
#include <QObject>
#include <QString>

// The documents' view of the module menu: lists the menus of MenuModel, reads their fields,
// finds an icon for each and opens a menu's page of the server's web client.
class MenuItem : public QObject
{
    Q_OBJECT
public:
    explicit MenuItem(QObject *parent = nullptr);

    Q_INVOKABLE QList<int> getMenuLIstId() const;
    Q_INVOKABLE QString getChildMenuLIst(int ids) const;
    Q_INVOKABLE QString getMenuIdInfor(int ids, const QString &types) const;
    Q_INVOKABLE void openWebInfor(const QString &module_id, const QString &menu_id);
    // A file URL of the menu's own icon in "menuimages" below the working directory, or of one
    // of the two shared icons, taken in turn.
    Q_INVOKABLE QString getMenuImage(const QString &menuName);

    static QString sharedIconName(int index);
    // What getMenuImage gives, for the models.
    static QString imageFor(const QString &menuName);

signals:
    void sigUpdateData();
    void jumpBrowser(const QString &browsers);
    // A page for the system's browser; the documents hand it to the link opener.
    void openExternally(const QString &link);
};
