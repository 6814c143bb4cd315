import QtQuick 2.12
import ConfigData 1.0
import SocketState 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The organisation section: the list pane (search, departments, roles) and, beside it, the card
// of the person chosen there.
Item {
    id: structureDefault
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias list: structureList
    readonly property alias card: personCard

    property string tip_organization: qsTr("组织")
    property string tip_scan_business_card: qsTr("扫一扫，获取用户名片")

    signal sigSendChatInformation(string ids, string names, string types)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    // Escape closes the card wherever the focus is in the section.
    Keys.onEscapePressed: {
        if (personCard.visible)
            personCard.close()
        else
            event.accepted = false
    }

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Called each time the section is shown.
    function activate() {
        structureList.activate()
        if (personCard.visible)
            personCard.forceActiveFocus()
        else
            structureList.focusTree()
    }
    function openPerson(person) {
        personCard.open(person)
    }
    function closePerson() {
        personCard.close()
    }

    ConfigData { id: configData }
    SocketState { id: socketState }
    LanguageTexts {
        id: languageTexts
        target: structureDefault
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Rectangle {
        id: listPane
        width: Style.listWidth
        height: parent.height
        color: structureDefault.loginModel === 1 ? Style.glass(0.55) : structureDefault.pal.list
        StructureList {
            id: structureList
            objectName: "structureList"
            anchors.fill: parent
            loginModel: structureDefault.loginModel
            skinColors: structureDefault.skinColors
            onSigOpenPerson: structureDefault.openPerson(person)
            onModifyXposition: structureDefault.modifyXposition(positions)
            onModifyYposition: structureDefault.modifyYposition(positions)
        }
        Rectangle {
            anchors.right: parent.right
            width: 1
            height: parent.height
            color: structureDefault.pal.line
        }
    }

    Rectangle {
        id: content
        anchors.left: listPane.right
        anchors.right: parent.right
        height: parent.height
        // Spring breeze draws its scene behind the panes.
        color: structureDefault.loginModel === 1 ? "transparent" : structureDefault.pal.pane

        Rectangle {
            id: title
            width: parent.width
            height: Style.titleHeight
            color: structureDefault.loginModel === 1 ? "transparent" : structureDefault.pal.pane
            DragArea {
                anchors.fill: parent
                onDragged: {
                    structureDefault.modifyXposition(dx)
                    structureDefault.modifyYposition(dy)
                }
            }
            Text {
                textFormat: Text.PlainText
                x: 22 * structureDefault.sr
                anchors.verticalCenter: parent.verticalCenter
                // The window's buttons sit at the right end of this bar.
                width: parent.width - 140 * structureDefault.sr
                elide: Text.ElideRight
                text: personCard.visible ? personCard.userName
                      : structureList.companyName !== "" ? structureList.companyName : structureDefault.tip_organization
                font.pixelSize: Style.fontTitle
                color: structureDefault.pal.text
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: structureDefault.pal.line
            }
        }

        Flickable {
            id: cardArea
            anchors.top: title.bottom
            anchors.bottom: parent.bottom
            width: parent.width
            contentHeight: Math.max(height, personCard.height + 48 * structureDefault.sr)
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            interactive: personCard.visible

            StructurePersonnelinfor {
                id: personCard
                objectName: "personCard"
                anchors.horizontalCenter: parent.horizontalCenter
                y: Math.max(24 * structureDefault.sr, (cardArea.height - height) / 2)
                width: Math.min(implicitWidth, cardArea.width - 40 * structureDefault.sr)
                height: implicitHeight
                loginModel: structureDefault.loginModel
                skinColors: structureDefault.skinColors
                onSigSendChatInformation: structureDefault.sigSendChatInformation(ids, names, types)
                onSigClose: structureList.focusTree()
            }
        }

        // Until someone is chosen: the organisation's mark.
        Column {
            anchors.centerIn: cardArea
            visible: !personCard.visible
            spacing: 12 * structureDefault.sr
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 72 * structureDefault.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/orgchart.svg"
                opacity: 0.6
            }
            Text {
                textFormat: Text.PlainText
                anchors.horizontalCenter: parent.horizontalCenter
                text: structureList.companyName !== "" ? structureList.companyName : structureDefault.tip_organization
                font.pixelSize: Style.fontLarge
                color: structureDefault.pal.sub
            }
        }
    }
}
