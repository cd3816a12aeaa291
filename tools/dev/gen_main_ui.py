#!/usr/bin/env python3
"""Writes src/shell/U_frm_Main.ui: the main window's form. Run after changing the tables below."""
import html, pathlib

ACTIONS = [  # name, caption, enabled, checkable, checked, hint
    ("actLeftPlay", "&Play", True, False, False, ""),
    ("actPlay", "&Play", True, False, False, ""),
    ("actPause", "&Pause", True, False, False, ""),
    ("actStop", "&Stop", False, False, False, ""),
    ("act50", "Fit Video to Player", True, True, False, ""),
    ("act100", "Video Size 100%", True, True, True, ""),
    ("act200", "Video Size 200%", True, True, False, ""),
    ("actFull", "&Full Screen", True, False, False, ""),
    ("actOpen", "&Open URL", True, False, False, ""),
    ("actExit", "&Exit", True, False, False, ""),
    ("actFavorites", "My &Favorites", True, True, False, ""),
    ("actTV", "&TV Channels", True, True, False, ""),
    ("actRadio", "&Radio Channels", True, True, False, ""),
    ("actSearch", "&Search", True, False, False, ""),
    ("actAddFav", "&Add to Favorites", True, False, False, ""),
    ("actDelete", "&Delete", True, False, False, ""),
    ("actBackup", "&Backup Favorites", True, False, False, ""),
    ("actRestoreFav", "&Restore Favorites", True, False, False, ""),
    ("actProperties", "&Properties", True, False, False, ""),
    ("actAddNew", "Add &New", True, False, False, ""),
    ("actUpdate", "&Check for Update", True, False, False, ""),
    ("actOPtion", "&Preferences", True, False, False, ""),
    ("actFaq", "&F.A.Q", True, False, False, ""),
    ("actHome", "&HomePage", True, False, False, "Visit Our Web Site"),
    ("actBroken", "&Report Broken", True, False, False, ""),
    ("actAddReview", "Add Your &Review", True, False, False, ""),
    ("actAbout", "&About", True, False, False, ""),
]
FILTERS = ["News", "Kids", "Movies", "Sports", "General", "Games", "Weather", "Religious", "Lifestyle",
           "Shopping", "Government", "Educational", "Entertainment"]
MENUS = [  # name, title, items (None = separator)
    ("menFile", "&File", ["actOpen", "actStop", None, "actBackup", "actRestoreFav", None, "actExit"]),
    ("menChannels", "&Channels", ["actFavorites", "actTV", "actRadio", None, "actSearch"]),
    ("menFilter", "Fi&lter", ["men" + f for f in FILTERS]),
    ("menOptions", "&Options", ["actUpdate", None, "actOPtion"]),
    ("menSkin", "Skins", []),
    ("menHelp", "&Help", ["actFaq", "actHome", "actAbout"]),
]
e = html.escape

def prop(name, inner, stdset=True):
    extra = "" if stdset else ' stdset="0"'
    return f'<property name="{name}"{extra}>{inner}</property>'

def string(v): return f"<string>{e(v)}</string>"
def rect(x, y, w, h): return f"<rect><x>{x}</x><y>{y}</y><width>{w}</width><height>{h}</height></rect>"
def size(w, h): return f"<size><width>{w}</width><height>{h}</height></size>"
TAG = prop("Tag", "<number>9999</number>", False)
HAND = prop("cursor", "<cursorShape>PointingHandCursor</cursorShape>")

def widget(cls, name, props, children=""):
    return f'<widget class="{cls}" name="{name}">{"".join(props)}{children}</widget>'

def bar_child(cls, name, geo, anchors, extra=()):
    return widget(cls, name, [prop("geometry", rect(*geo)), prop("Anchors", string(anchors), False), *extra])

bar = "".join([
    bar_child("PicturePanel", "Image1", (0, 0, 446, 40), "left|right|top|bottom",
              [prop("picture", string("bar")), TAG]),
    bar_child("ImageButton", "imgPlay", (8, 7, 30, 30), "left",
              [prop("picture", string("play")), prop("toolTip", string("Play")), HAND, TAG]),
    bar_child("ImageButton", "imgPause", (45, 14, 22, 22), "left",
              [prop("picture", string("pause")), prop("toolTip", string("Pause")), prop("enabled", "<bool>false</bool>"), HAND, TAG]),
    bar_child("ImageButton", "imgStop", (70, 14, 22, 22), "left",
              [prop("picture", string("stop")), prop("toolTip", string("Stop")), prop("enabled", "<bool>false</bool>"), HAND, TAG]),
    widget("PicturePanel", "panState", [prop("geometry", rect(114, 13, 144, 22)), prop("Anchors", string("left|right"), False),
                                        prop("picture", string("field_mid")), prop("designSize", size(144, 22)), TAG],
           widget("QLabel", "labState", [prop("geometry", rect(2, 5, 138, 13)), prop("Anchors", string("left|right|top|bottom"), False),
                                         prop("text", string(""))])),
    bar_child("PicturePanel", "ImagePanel1", (104, 13, 12, 22), "left", [prop("picture", string("field_left")), TAG]),
    bar_child("PicturePanel", "ImagePanel3", (256, 13, 12, 22), "right", [prop("picture", string("field_right")), TAG]),
    bar_child("ImageButton", "imgnomute", (282, 14, 22, 22), "right", [prop("picture", string("sound")), prop("toolTip", string("Sound"))]),
    bar_child("ImageButton", "imgmute", (282, 14, 22, 22), "right",
              [prop("picture", string("muted")), prop("toolTip", string("Sound")), prop("visible", "<bool>false</bool>")]),
    bar_child("PicturePanel", "imgRuler", (308, 14, 100, 14), "right", [prop("picture", string("ruler")), prop("toolTip", string("Volume"))]),
    widget("PicturePanel", "imgMove", [prop("geometry", rect(314, 18, 14, 14)), prop("picture", string("knob")), prop("toolTip", string("Volume"))]),
    bar_child("ImageButton", "EzRgnBtn3", (417, 13, 22, 22), "right",
              [prop("picture", string("list")), prop("toolTip", string("Show/Hide Channel List")), HAND, TAG]),
])

flash = widget("PicturePanel", "panFlash", [prop("fillColor", "<color><red>0</red><green>0</green><blue>0</blue></color>"), TAG],
    '<layout class="QVBoxLayout" name="flashLayout"><property name="spacing"><number>6</number></property>'
    '<item><spacer name="flashTop"><property name="orientation"><enum>Qt::Vertical</enum></property></spacer></item>'
    '<item alignment="Qt::AlignHCenter">' + widget("AnimatedPicture", "gifConMedia", [prop("minimumSize", size(100, 100)), prop("maximumSize", size(100, 100))]) + '</item>'
    '<item alignment="Qt::AlignHCenter">' + widget("QLabel", "labCap", [prop("text", string("Zentavo")), prop("alignment", "<set>Qt::AlignCenter</set>"), HAND]) + '</item>'
    '<item><spacer name="flashBottom"><property name="orientation"><enum>Qt::Vertical</enum></property></spacer></item>'
    '</layout>')

panel2 = widget("PicturePanel", "Panel2", [prop("fillColor", "<color><red>0</red><green>0</green><blue>0</blue></color>")],
    '<layout class="QGridLayout" name="panel2Layout"><property name="leftMargin"><number>0</number></property>'
    '<property name="topMargin"><number>0</number></property><property name="rightMargin"><number>0</number></property>'
    '<property name="bottomMargin"><number>0</number></property><property name="spacing"><number>0</number></property>'
    '<item row="0" column="0">' + widget("PicturePanel", "imgWmplay", [prop("fillColor", "<color><red>0</red><green>0</green><blue>0</blue></color>"), prop("visible", "<bool>false</bool>"), TAG]) + '</item>'
    '<item row="0" column="0">' + flash + '</item>'
    '<item row="1" column="0">' + widget("PicturePanel", "panControl", [prop("minimumSize", size(0, 40)), prop("maximumSize", size(16777215, 40)), prop("designSize", size(446, 40)), TAG], bar) + '</item>'
    '</layout>')

left = widget("QWidget", "panLeft", [prop("minimumSize", size(185, 0)), prop("maximumSize", size(185, 16777215))],
    '<layout class="QVBoxLayout" name="leftLayout"><property name="leftMargin"><number>0</number></property>'
    '<property name="topMargin"><number>0</number></property><property name="rightMargin"><number>0</number></property>'
    '<property name="bottomMargin"><number>0</number></property>'
    '<item>' + widget("QTreeWidget", "treChannle", [prop("editTriggers", "<set>QAbstractItemView::NoEditTriggers</set>"),
        prop("indentation", "<number>19</number>"), prop("headerHidden", "<bool>true</bool>"),
        prop("iconSize", size(16, 16)), prop("uniformRowHeights", "<bool>true</bool>")],
        '<column><property name="text"><string notr="true">1</string></property></column>') + '</item></layout>')

panel5 = widget("QWidget", "Panel5", [prop("visible", "<bool>false</bool>"), prop("minimumSize", size(0, 19)), prop("maximumSize", size(16777215, 19))],
    '<layout class="QVBoxLayout" name="panel5Layout"><property name="leftMargin"><number>0</number></property>'
    '<property name="topMargin"><number>0</number></property><property name="rightMargin"><number>0</number></property>'
    '<property name="bottomMargin"><number>0</number></property>'
    '<item>' + widget("QStatusBar", "StatusBar1", [prop("minimumSize", size(0, 19)), prop("maximumSize", size(16777215, 19))]) + '</item></layout>')

central = widget("QWidget", "centralwidget", [],
    '<layout class="QGridLayout" name="mainLayout" columnstretch="0,0,1"><property name="leftMargin"><number>0</number></property>'
    '<property name="topMargin"><number>0</number></property><property name="rightMargin"><number>0</number></property>'
    '<property name="bottomMargin"><number>0</number></property><property name="spacing"><number>0</number></property>'
    '<item row="0" column="0">' + left + '</item>'
    '<item row="0" column="1">' + widget("PanelSplitter", "Splitter1", []) + '</item>'
    '<item row="0" column="2">' + panel2 + '</item>'
    '<item row="1" column="0" colspan="3">' + panel5 + '</item>'
    '</layout>')

def menu(name, title, items):
    body = "".join('<addaction name="separator"/>' if i is None else f'<addaction name="{i}"/>' for i in items)
    return widget("QMenu", name, [prop("title", string(title))], body)

menubar = widget("QMenuBar", "mnuMain", [prop("geometry", rect(0, 0, 640, 22))],
                 "".join(menu(*m) for m in MENUS) + "".join(f'<addaction name="{m[0]}"/>' for m in MENUS))

actions = []
for name, text, enabled, checkable, checked, hint in ACTIONS:
    p = [prop("text", string(text))]
    if checkable: p.append(prop("checkable", "<bool>true</bool>"))
    if checked: p.append(prop("checked", "<bool>true</bool>"))
    if not enabled: p.append(prop("enabled", "<bool>false</bool>"))
    if hint: p += [prop("toolTip", string(hint)), prop("statusTip", string(hint))]
    actions.append(f'<action name="{name}">{"".join(p)}</action>')
for f in FILTERS:
    actions.append(f'<action name="men{f}">{prop("text", string(f))}{prop("checkable", "<bool>true</bool>")}</action>')

custom = "".join(f"<customwidget><class>{c}</class><extends>{b}</extends><header>{h}</header></customwidget>" for c, b, h in [
    ("PicturePanel", "QWidget", "appearance/PicturePanel.h"),
    ("ImageButton", "QAbstractButton", "appearance/ImageButton.h"),
    ("AnimatedPicture", "QWidget", "appearance/AnimatedPicture.h"),
    ("PanelSplitter", "QWidget", "appearance/PanelSplitter.h"),
])

ui = f'''<?xml version="1.0" encoding="UTF-8"?>
<!-- Generated by tools/dev/gen_main_ui.py; edit the script, not this file. -->
<ui version="4.0">
<class>Tfrm_Main</class>
{widget("QMainWindow", "Tfrm_Main", [prop("geometry", rect(0, 0, 640, 435)), prop("windowTitle", string("Zentavo"))], central + menubar + "".join(actions))}
<customwidgets>{custom}</customwidgets>
<resources/>
<connections/>
</ui>
'''
out = pathlib.Path(__file__).resolve().parents[2] / "src/shell/U_frm_Main.ui"
out.write_text(ui)
print("wrote", out)
