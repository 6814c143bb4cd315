import QtQuick 2.12
import "../style"

// A one-line text field drawn here (frame, placeholder, text) rather than by a style plugin: the
// sign-in views use it, and their first frame then waits for no plugin beyond Qt Quick's own.
// The text scrolls inside the paddings and never runs over the frame or an icon placed in them;
// a reader meets the inner input, named by `accessibleName`.
FocusScope {
    id: field
    property alias text: input.text
    readonly property alias preeditText: input.preeditText
    property alias font: input.font
    property alias color: input.color
    property alias echoMode: input.echoMode
    property alias passwordCharacter: input.passwordCharacter
    property alias selectByMouse: input.selectByMouse
    property alias selectionColor: input.selectionColor
    property string placeholderText: ""
    property color placeholderTextColor: Style.standardPalette.sub
    property string accessibleName: ""
    property real leftPadding: 10 * Style.sr
    property real rightPadding: 6 * Style.sr
    property color backgroundColor: Style.standardPalette.input
    property color borderColor: Style.standardPalette.fieldBorder
    property color focusBorderColor: Style.defaultSkin
    // The frame is drawn thicker while the field has the keyboard.
    property real focusBorderWidth: 1
    property real radius: Style.radius
    signal textEdited()
    signal accepted()

    function selectAll() { input.selectAll() }

    activeFocusOnTab: true

    Rectangle {
        anchors.fill: parent
        radius: field.radius
        color: field.backgroundColor
        border.width: field.activeFocus ? field.focusBorderWidth : 1
        border.color: field.activeFocus ? field.focusBorderColor : field.borderColor
    }
    // A press in the paddings (on an icon, say) puts the keyboard into the field too.
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.IBeamCursor
        onPressed: input.forceActiveFocus()
    }
    Text {
        anchors.fill: input
        verticalAlignment: Text.AlignVCenter
        textFormat: Text.PlainText
        visible: input.text === "" && input.preeditText === ""
        // Laid out only while shown: a filled field costs no shaping of its hint.
        text: visible ? field.placeholderText : ""
        elide: Text.ElideRight
        font: input.font
        color: field.placeholderTextColor
    }
    TextInput {
        id: input
        x: field.leftPadding
        width: Math.max(0, field.width - field.leftPadding - field.rightPadding)
        height: field.height
        focus: true
        clip: true
        selectByMouse: true
        verticalAlignment: TextInput.AlignVCenter
        Accessible.role: Accessible.EditableText
        Accessible.name: field.accessibleName
        // A reader speaks the hint where Qt withholds a password field's name.
        Accessible.description: field.placeholderText
        onTextEdited: field.textEdited()
        onAccepted: field.accepted()
    }
}
