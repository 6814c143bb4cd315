#include "moduleicons.h"

#include <initializer_list>

namespace {

struct Icon
{
    const char *image;
    std::initializer_list<const char *> words;
};

// The words that mark a module in a key or a name; the first match wins, so the more particular
// words come before the general ones ("webmail" before "mail").
const Icon s_table[] = {
    {"webmailimage.png", {"webmail", "外部邮件", "网络邮件"}},
    {"emailimage.png", {"email", "mail", "邮件", "邮箱"}},
    {"attendancemachineimage.png", {"attendancemachine", "attendance", "考勤", "打卡"}},
    {"office_suppliesimage.png", {"office_supplies", "supplies", "办公用品"}},
    {"personnel_filesimage.png", {"personnel_files", "personnel", "人事", "档案管理员"}},
    {"filemanagementimage.png", {"filemanagement", "archive", "档案", "文件管理"}},
    {"documentimage.png", {"document", "公文", "收文", "发文"}},
    {"flowimage.png", {"workflow", "flow", "流程", "审批"}},
    {"scheduleimage.png", {"schedule", "calendar", "日程"}},
    {"meetingimage.png", {"meeting", "会议"}},
    {"carimage.png", {"vehicle", "car", "车辆", "用车"}},
    {"salaryimage.png", {"salary", "wage", "薪资", "工资"}},
    {"cooperationimage.png", {"cooperation", "协同", "协作"}},
    {"performanceimage.png", {"performance", "绩效", "考核"}},
    {"diaryimage.png", {"diary", "日志", "日记"}},
    {"projectimage.png", {"project", "项目"}},
    {"customerimage.png", {"customer", "crm", "客户"}},
    {"voteimage.png", {"vote", "投票"}},
    {"casimage.png", {"cas", "单点", "认证"}},
    {"assetsimage.png", {"assets", "asset", "资产"}},
    {"bookimage.png", {"book", "library", "图书", "知识"}},
    {"contractimage.png", {"contract", "合同"}},
    {"taskimage.png", {"task", "todo", "任务", "待办"}},
    {"exportimage.png", {"export", "外出", "导出"}},
    {"newsimage.png", {"news", "新闻", "资讯"}},
    {"userimage.png", {"user", "用户", "通讯录"}},
    {"noticeimage.png", {"notice", "notify", "通知", "公告"}},
};

} // namespace

namespace ModuleIcons {

QString imageFor(const QString &text)
{
    const QString lower = text.toLower();
    if (lower.isEmpty())
        return QString();
    for (const Icon &icon : s_table) {
        for (const char *word : icon.words) {
            if (lower.contains(QString::fromUtf8(word)))
                return QString::fromLatin1(icon.image);
        }
    }
    return QString();
}

QString path(const QString &menuKey, const QString &menuName)
{
    QString image = imageFor(menuKey);
    if (image.isEmpty())
        image = imageFor(menuName);
    return QStringLiteral("qrc:/images/") +
           (image.isEmpty() ? QStringLiteral("noticeimage.png") : image);
}

QStringList allImages()
{
    QStringList names;
    for (const Icon &icon : s_table)
        names.append(QString::fromLatin1(icon.image));
    return names;
}

} // namespace ModuleIcons
