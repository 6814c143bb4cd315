.pragma library

// The icon of a reminder's module, found by the module's key (the reminder's sms_menu, such as
// "flow") or by its Chinese menu name (such as "流程中心"); every view that shows reminders
// (the reminder page, system-message cards in a conversation) uses the same pictures.

// [image name, words that mark the module in a key or a name]; the first match wins, so the
// more particular words come before the general ones ("webmail" before "mail").
var table = [
    ["webmailimage.png", ["webmail", "外部邮件", "网络邮件"]],
    ["emailimage.png", ["email", "mail", "邮件", "邮箱"]],
    ["attendancemachineimage.png", ["attendancemachine", "attendance", "考勤", "打卡"]],
    ["office_suppliesimage.png", ["office_supplies", "supplies", "办公用品"]],
    ["personnel_filesimage.png", ["personnel_files", "personnel", "人事", "档案管理员"]],
    ["filemanagementimage.png", ["filemanagement", "archive", "档案", "文件管理"]],
    ["documentimage.png", ["document", "公文", "收文", "发文"]],
    ["flowimage.png", ["workflow", "flow", "流程", "审批"]],
    ["scheduleimage.png", ["schedule", "calendar", "日程"]],
    ["meetingimage.png", ["meeting", "会议"]],
    ["carimage.png", ["vehicle", "car", "车辆", "用车"]],
    ["salaryimage.png", ["salary", "wage", "薪资", "工资"]],
    ["cooperationimage.png", ["cooperation", "协同", "协作"]],
    ["performanceimage.png", ["performance", "绩效", "考核"]],
    ["diaryimage.png", ["diary", "日志", "日记"]],
    ["projectimage.png", ["project", "项目"]],
    ["customerimage.png", ["customer", "crm", "客户"]],
    ["voteimage.png", ["vote", "投票"]],
    ["casimage.png", ["cas", "单点", "认证"]],
    ["assetsimage.png", ["assets", "asset", "资产"]],
    ["bookimage.png", ["book", "library", "图书", "知识"]],
    ["contractimage.png", ["contract", "合同"]],
    ["taskimage.png", ["task", "todo", "任务", "待办"]],
    ["exportimage.png", ["export", "外出", "导出"]],
    ["newsimage.png", ["news", "新闻", "资讯"]],
    ["userimage.png", ["user", "用户", "通讯录"]],
    ["noticeimage.png", ["notice", "notify", "通知", "公告"]]
]

function imageFor(text) {
    var lower = String(text === undefined || text === null ? "" : text).toLowerCase()
    if (lower === "")
        return ""
    for (var i = 0; i < table.length; ++i) {
        var words = table[i][1]
        for (var j = 0; j < words.length; ++j) {
            if (lower.indexOf(words[j]) !== -1)
                return table[i][0]
        }
    }
    return ""
}

// The module's picture under qrc:/images/: by key first, then by name; a module that matches
// nothing gets the notice picture, as every reminder is a notice of some kind.
function retImageInforPath(menuKey, menuName) {
    var image = imageFor(menuKey)
    if (image === "")
        image = imageFor(menuName)
    return "qrc:/images/" + (image !== "" ? image : "noticeimage.png")
}

// Every picture this table can give (for the loading test and the image script).
function allImages() {
    var names = []
    for (var i = 0; i < table.length; ++i)
        names.push(table[i][0])
    return names
}
