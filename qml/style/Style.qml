pragma Singleton
import QtQuick 2.12

// The look every document shares: the scale, the type sizes, the radii, the palette of each
// theme and the shades of a skin colour. Documents read it; they do not copy its values.
QtObject {
    // screenRate comes from the start-up context; harnesses without it still get a scale of 1.
    readonly property real sr: typeof screenRate === "number" ? Math.max(1, screenRate) : 1

    readonly property real fontTiny: 11 * sr
    readonly property real fontSmall: 12 * sr
    readonly property real fontBody: 13 * sr
    readonly property real fontLarge: 14 * sr
    readonly property real fontTitle: 16 * sr
    readonly property real fontHeading: 18 * sr

    readonly property real radiusSmall: 3 * sr
    readonly property real radius: 4 * sr
    readonly property real radiusCard: 8 * sr

    readonly property real toolbarWidth: 64 * sr
    readonly property real listWidth: 264 * sr
    readonly property real titleHeight: 64 * sr
    readonly property real rowHeight: 64 * sr
    readonly property real buttonHeight: 34 * sr

    readonly property string defaultSkin: "#0183FF"
    readonly property color danger: "#f14034"
    readonly property color dangerPressed: "#c8372d"
    readonly property color success: "#2fb36b"
    readonly property color warning: "#f5ab16"
    readonly property color online: "#2fb36b"
    // What is drawn on the skin colour (its bars and badges): marks, borders and text.
    readonly property color onSkin: "#ffffff"
    // A person offline, and the border of a box not yet checked.
    readonly property color offline: "#b8c0cc"
    readonly property color checkBorder: "#b8c0cc"
    // The disc behind a picture still loading.
    readonly property color avatarBack: "#dbe9ff"
    // A QR code needs white paper to be read by a camera, whatever the theme.
    readonly property color qrPaper: "#ffffff"
    // A server test that passed.
    readonly property color testPassed: "#3aa55d"
    // Links and actions in the skin colour that dark themes lift to stay readable.
    readonly property color darkLink: "#9db8ff"
    readonly property color darkAction: "#cfe0ff"
    // The presence dot on the toolbar, brighter than the one on the panes to stand out on the skin.
    readonly property color toolbarOnline: "#3ccf6e"
    readonly property color toolbarOffline: "#a0a7b4"

    // The seven fixed skins, in the order the skin picker offers them; the custom one follows.
    readonly property var skins: [
        { key: "curtain_black", name: "幕黑", color: "#323448" },
        { key: "sea_blue", name: "海蓝", color: "#0183FF" },
        { key: "lake_blue", name: "湖蓝", color: "#4E89F9" },
        { key: "light_green", name: "光绿", color: "#87B94A" },
        { key: "fireworks", name: "焰火", color: "#F14034" },
        { key: "sunset_glow", name: "晚霞", color: "#F46038" },
        { key: "orange", name: "缤橙", color: "#F5AB16" }
    ]
    readonly property string curtainBlack: skins[0].color
    // The selection mark in place of the curtain-black skin, which would vanish on a dark bar.
    readonly property color curtainMark: "#8fa6ff"
    // The updater, a program of its own, keeps its own shades of the themes: a light one (themes
    // 0 and 1, the second with a green accent) and a dark one (theme 2).
    readonly property var updaterLight: ({ background: "#ffffff", text: "#1f2d3d", muted: "#6b7785" })
    readonly property var updaterDark: ({ background: "#1f2024", text: "#e8e8ea", muted: "#9a9ca3" })
    readonly property string updaterAccent: "#2d8cf0"
    readonly property string updaterSpringAccent: "#3bb273"
    readonly property color updaterTrack: "#e4e7ed"
    readonly property color updaterDisabled: "#c0c4cc"
    readonly property color updaterError: "#d9363e"
    // A window title's close button under the pointer, as the desktop draws it.
    readonly property color closeHover: "#e81123"
    readonly property var customSkinGradient: ["#8A38AC", "#A73389", "#FB2421", "#FC701A", "#FD8D17"]
    readonly property var hueStrip: ["#ff0000", "#ff6000", "#ffc000", "#deff00", "#7eff00", "#1eff00",
        "#00ff42", "#00ffa2", "#00fcff", "#009cff", "#003cff", "#2400ff", "#8400ff", "#e400ff",
        "#ff00ba", "#ff005a"]

    // Theme 0 standard, 1 spring breeze, 2 ink black.
    readonly property var standardPalette: ({
        dark: false, text: "#1f2d3d", sub: "#8a96a8", muted: "#5a6b7d", line: "#e6e9ef",
        list: "#f5f7fa", pane: "#ffffff", card: "#ffffff", cardBorder: "#e3e8ef",
        field: "#e9edf2", fieldBorder: "#cfd6e0", input: "#f5f7fa", hover: "#eef1f5", pressed: "#dfe4eb",
        selected: "#e3eefc", bubbleIn: "#f0f2f5", bubbleInText: "#1f2d3d",
        shadow: Qt.rgba(0, 0, 0, 0.12), mask: Qt.rgba(0, 0, 0, 0.35),
        banner: "#fdecea", bannerText: "#e5483d",
        popupBorder: "#dde2ea", popupHover: "#f2f5f9", frameBorder: "#d7dde6", toolTip: "#2f3542"
    })
    readonly property var springPalette: ({
        dark: false, text: "#1f2d3d", sub: "#7f8f80", muted: "#56685a", line: "#e1e9d8",
        list: "#f3f9ec", pane: "#ffffff", card: "#ffffff", cardBorder: "#dfe8d4",
        field: "#ffffff", fieldBorder: "#cddcbf", input: "#f5f9f0", hover: "#eaf4df", pressed: "#dcead0",
        selected: "#e2f0d4", bubbleIn: "#eef5e6", bubbleInText: "#1f2d3d",
        shadow: Qt.rgba(0, 0, 0, 0.12), mask: Qt.rgba(0, 0, 0, 0.35),
        banner: "#fdecea", bannerText: "#e5483d",
        popupBorder: "#dde2ea", popupHover: "#f2f5f9", frameBorder: "#d7dde6", toolTip: "#2f3542",
        // The theme's own pictures: the sun over the toolbar and the meadow behind the panes.
        sunGlow: "#fff6c8", sunGlowClear: "#00fff6c8", sunRay: "#66fff3b0", sunRayClear: "#00fff3b0",
        meadowTop: "#f6fbef", meadowBottom: "#e6f3d8"
    })
    readonly property var inkPalette: ({
        dark: true, text: "#e6e8ef", sub: "#9096a8", muted: "#b3b8c6", line: "#2e3039",
        list: "#202129", pane: "#1a1b21", card: "#23242c", cardBorder: "#3a3c48",
        field: "#2a2c36", fieldBorder: "#3a3c48", input: "#262832", hover: "#2a2c36", pressed: "#30323d",
        selected: "#2c3140", bubbleIn: "#2a2c36", bubbleInText: "#e6e8ef",
        shadow: Qt.rgba(0, 0, 0, 0.4), mask: Qt.rgba(0, 0, 0, 0.5),
        banner: "#3a2326", bannerText: "#ff6b60",
        popupBorder: "#3a3c48", popupHover: "#2f3039", frameBorder: "#343641", toolTip: "#3a3c48",
        // The light themes draw the toolbar and the login header in shades of the skin; this
        // one has its own.
        toolbarTop: "#20212a", toolbarBottom: "#17181e", headerTop: "#2a2c38", headerBottom: "#16171d"
    })

    // White glass (the spring-breeze panes, highlights on a skin) and a dark shade (pressed on a
    // skin) at the given opacity.
    function glass(alpha) {
        return Qt.rgba(1, 1, 1, alpha)
    }
    function shade(alpha) {
        return Qt.rgba(0, 0, 0, alpha)
    }
    // A colour (a skin) see-through at the given opacity.
    function tint(colour, alpha) {
        return Qt.rgba(colour.r, colour.g, colour.b, alpha)
    }

    function palette(theme) {
        return theme === 2 ? inkPalette : theme === 1 ? springPalette : standardPalette
    }
    // The pressed and hover shades of a skin colour.
    function pressed(hex) {
        return Qt.darker(hex, 1.18).toString()
    }
    function hover(hex) {
        return Qt.lighter(hex, 1.08).toString()
    }
    // A text colour that stays readable on the given fill.
    function onColor(hex) {
        var c = Qt.darker(hex, 1.0)
        return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b > 0.72 ? "#1f2d3d" : "#ffffff"
    }
}
