.pragma library

// File messages as the conversation and its history show them: the icon of a file, the
// attachment behind a message, and the download of a file into the download folder with its
// progress on the message's row.

var suffixIcons = {
    doc: "docx", docx: "docx", wps: "docx", rtf: "docx",
    png: "img", jpg: "img", jpeg: "img", gif: "img", bmp: "img", webp: "img", svg: "img",
    ppt: "ppt", pptx: "ppt", txt: "txt", log: "txt", md: "txt", csv: "excel",
    xls: "excel", xlsx: "excel", zip: "zip", "7z": "zip", gz: "zip", tar: "zip",
    rar: "rar", pdf: "pdf", htm: "html", html: "html", mp3: "mp3", wav: "mp3",
    mp4: "mp4", avi: "mp4", mov: "mp4", mkv: "mp4"
}

// File icons by suffix.
function imageNameFromSuffix(suffix) {
    var s = String(suffix).toLowerCase().replace(/^\./, "")
    var name = suffixIcons.hasOwnProperty(s) ? suffixIcons[s] : "others"
    return "qrc:/images/" + name + ".png"
}

function suffixOf(name) {
    var dot = String(name).lastIndexOf(".")
    return dot > 0 ? String(name).substring(dot + 1) : ""
}

function fileNameOf(path) {
    var p = String(path).replace(/\\/g, "/")
    return p.substring(p.lastIndexOf("/") + 1)
}

// The attachment id of a file message: the text itself, or the id inside a descriptor.
function attachmentOf(download) {
    var d = String(download)
    if (d.charAt(0) === "{") {
        try {
            var o = JSON.parse(d)
            return String(o.id || o.attachment_id || o.path || "")
        } catch (e) {
            return ""
        }
    }
    return d
}

// The Downloads folder, or where the client keeps its own files when a fresh account has no
// Downloads folder (a download into a missing folder cannot even start). `documentsUrl` is the
// user's documents location.
function downloadFolder(configData, documentsUrl) {
    var folder = configData.getDefaultDownloadPath()
    if (folder !== "" && configData.judgeFileExits(folder))
        return folder
    return decodeURIComponent(String(documentsUrl).replace(/^file:\/\//, "")) + "/morvane/tarnex"
}

// `name` in `folder`, numbered before its suffix when a file of that name is there already.
function freeDestination(configData, folder, name) {
    var dest = folder + "/" + name
    var dot = name.lastIndexOf(".")
    var stem = dot > 0 ? name.substring(0, dot) : name
    var ext = dot > 0 ? name.substring(dot) : ""
    for (var n = 1; configData.judgeFileExits(dest) && n < 1000; ++n)
        dest = folder + "/" + stem + " (" + n + ")" + ext
    return dest
}

function fileExists(store, path) {
    return path !== "" && store.jusitFileExits(path)
}

function progressOf(received, total) {
    if (total > 0)
        return Math.min(1, received / total)
    return total >= 0 && received >= total ? 1 : 0
}

// The downloads of one view. `host` is the document: its `downloads` map (message id ->
// downloader) says which rows are busy, and `host.showTip(text)` tells the user of a failure.
// `component` makes a DownloadFile with the properties msgId, dest, conversation and cancelled
// (set once the user stopped it: what it still reports is not heeded). `model` is the view's
// ConversationModel: it finds a row by message id, and its rows carry progress (-1 when idle)
// and localPath.
function Downloads(host, component, model, store) {
    this.host = host
    this.component = component
    this.model = model
    this.store = store
}

Downloads.prototype.rowOf = function(msgId) {
    return this.model.indexOf(msgId)
}

Downloads.prototype.busy = function(msgId) {
    return this.host.downloads[msgId] !== undefined
}

// Starts the download of `source` into `dest`; false when that message is already on its way.
Downloads.prototype.start = function(msgId, conversation, source, dest) {
    if (this.busy(msgId))
        return false
    var at = this.rowOf(msgId)
    var downloader = this.component.createObject(this.host, { msgId: msgId, dest: dest, conversation: conversation })
    var list = this.host.downloads
    list[msgId] = downloader
    this.host.downloads = list
    if (at >= 0)
        this.model.setProperty(at, "progress", 0)
    downloader.dwonloadFileToLoacl(source, dest)
    return true
}

Downloads.prototype.progress = function(downloader, received, total) {
    if (downloader.cancelled)
        return
    var at = this.rowOf(downloader.msgId)
    if (at >= 0)
        this.model.setProperty(at, "progress", progressOf(received, total))
}

// The file is under its final name: remember it, and the row can open it.
Downloads.prototype.finished = function(downloader) {
    if (downloader.cancelled)
        return
    this.store.insertNewData(downloader.conversation, downloader.msgId, downloader.dest)
    var at = this.rowOf(downloader.msgId)
    if (at >= 0) {
        this.model.setProperty(at, "localPath", downloader.dest)
        this.model.setProperty(at, "progress", -1)
    }
    this.end(downloader)
}

// The row goes back to its download action, and the user is told why.
Downloads.prototype.failed = function(downloader, errors) {
    if (downloader.cancelled)
        return
    var at = this.rowOf(downloader.msgId)
    if (at >= 0)
        this.model.setProperty(at, "progress", -1)
    this.host.showTip(errors)
    this.end(downloader)
}

// Stops the download of `msgId` for the user: its progress reports stop, and its downloader
// goes, taking the transfer and the bytes so far with it, so the file never appears under its
// final name. The row goes back to its download action. False when nothing was on its way.
Downloads.prototype.cancel = function(msgId) {
    if (!this.busy(msgId))
        return false
    var downloader = this.host.downloads[msgId]
    downloader.cancelled = true
    downloader.stopDownFile()
    var at = this.rowOf(msgId)
    if (at >= 0)
        this.model.setProperty(at, "progress", -1)
    this.end(downloader)
    return true
}

Downloads.prototype.end = function(downloader) {
    var list = this.host.downloads
    if (list[downloader.msgId] === downloader)
        delete list[downloader.msgId]
    this.host.downloads = list
    downloader.destroy()
}

function downloads(host, component, model, store) {
    return new Downloads(host, component, model, store)
}
