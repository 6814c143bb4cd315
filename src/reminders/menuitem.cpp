#include "menuitem.h"

#include "reminders/menumodel.h"
#include "reminders/webclientaddress.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <atomic>

namespace {

// Process-wide, so menus without an icon alternate between the shared ones across documents.
std::atomic<int> s_iconCounter{0};

QString fileUrl(const QString &path)
{
    // fromLocalFile gives "file:///C:/..." on Windows and "file:///home/..." elsewhere, and
    // encodes a "#" or "%" in a menu name instead of cutting the URL there.
    return QUrl::fromLocalFile(path).toString();
}

} // namespace

MenuItem::MenuItem(QObject *parent) : QObject(parent)
{
    connect(MenuModel::instance(), &MenuModel::sigUpdateData, this, &MenuItem::sigUpdateData);
}

QList<int> MenuItem::getMenuLIstId() const
{
    return MenuModel::instance()->menuListId();
}

QString MenuItem::getChildMenuLIst(int ids) const
{
    return MenuModel::instance()->childMenuList(ids);
}

QString MenuItem::getMenuIdInfor(int ids, const QString &types) const
{
    return MenuModel::instance()->menuIdInfor(ids, types);
}

void MenuItem::openWebInfor(const QString &module_id, const QString &menu_id)
{
    QString between;
    if (!module_id.isEmpty() || !menu_id.isEmpty())
        between = QStringLiteral("&module_id=") + module_id + QStringLiteral("&menu_id=") + menu_id;
    QString jump;
    if (WebClientAddress::open(WebClientAddress::build(between), &jump))
        emit openExternally(jump);
    else
        emit jumpBrowser(jump);
}

QString MenuItem::sharedIconName(int index)
{
    return index == 0 ? QStringLiteral("公用.png") : QStringLiteral("公用2.png");
}

QString MenuItem::getMenuImage(const QString &menuName)
{
    return imageFor(menuName);
}

QString MenuItem::imageFor(const QString &menuName)
{
    const QString folder = QDir::currentPath() + QStringLiteral("/menuimages");
    // A name with a path separator would reach outside the icon folder.
    const bool plainName =
        !menuName.contains(QLatin1Char('/')) && !menuName.contains(QLatin1Char('\\'));
    const QString own = folder + QLatin1Char('/') + menuName + QStringLiteral(".png");
    if (plainName && !menuName.isEmpty() && QFileInfo(own).isFile())
        return fileUrl(own);
    int index = s_iconCounter.load();
    while (!s_iconCounter.compare_exchange_weak(index, (index + 1) % 2)) {
    }
    return fileUrl(folder + QLatin1Char('/') + sharedIconName(index));
}
