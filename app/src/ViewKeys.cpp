#include "ViewKeys.h"

#include <QtGlobal>
#include <array>

#include "Timeline.h"

namespace App {

namespace {

using View::Key;

constexpr std::array kViewKeys = {
    ViewKeyInfo{Qt::Key_Escape, Key::Escape, nullptr,
                QT_TRANSLATE_NOOP("ViewKeys", "关闭程序 (先询问)")},
    ViewKeyInfo{Qt::Key_Home, Key::Home, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "拉近")},
    ViewKeyInfo{Qt::Key_End, Key::End, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "推远")},
    ViewKeyInfo{Qt::Key_Up, Key::Up, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "绕水平轴转动")},
    ViewKeyInfo{Qt::Key_Down, Key::Down, nullptr,
                QT_TRANSLATE_NOOP("ViewKeys", "绕水平轴反向转动")},
    ViewKeyInfo{Qt::Key_Left, Key::Left, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "绕视线轴转动")},
    ViewKeyInfo{Qt::Key_Right, Key::Right, nullptr,
                QT_TRANSLATE_NOOP("ViewKeys", "绕视线轴反向转动")},
    ViewKeyInfo{Qt::Key_PageUp, Key::PageUp, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "向下平移")},
    ViewKeyInfo{Qt::Key_PageDown, Key::PageDown, nullptr,
                QT_TRANSLATE_NOOP("ViewKeys", "向上平移")},
    ViewKeyInfo{kReframeKey, Key::Other, nullptr,
                QT_TRANSLATE_NOOP("ViewKeys", "重新取景 (转动、平移和缩放复位)")},
    ViewKeyInfo{kPlayPauseKey, Key::Other, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "动画播放/暂停")},
    ViewKeyInfo{kFrameBackKey, Key::Other, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "后退一帧")},
    ViewKeyInfo{kFrameForwardKey, Key::Other, nullptr, QT_TRANSLATE_NOOP("ViewKeys", "前进一帧")},
    ViewKeyInfo{0, Key::Other, QT_TRANSLATE_NOOP("ViewKeys", "左键拖动"),
                QT_TRANSLATE_NOOP("ViewKeys", "转动模型")},
    ViewKeyInfo{0, Key::Other, QT_TRANSLATE_NOOP("ViewKeys", "右键拖动"),
                QT_TRANSLATE_NOOP("ViewKeys", "平移视图")},
    ViewKeyInfo{0, Key::Other, QT_TRANSLATE_NOOP("ViewKeys", "滚轮"),
                QT_TRANSLATE_NOOP("ViewKeys", "缩放")},
    ViewKeyInfo{0, Key::Other, QT_TRANSLATE_NOOP("ViewKeys", "单击关节 (显示骨骼或骨骼置前时)"),
                QT_TRANSLATE_NOOP("ViewKeys", "选中骨骼")},
};

}  // namespace

std::span<const ViewKeyInfo> ViewKeys() {
    return kViewKeys;
}

View::Key ViewKeyFor(int qtKey) {
    for (const ViewKeyInfo& info : kViewKeys) {
        if (info.qtKey != 0 && info.qtKey == qtKey) {
            return info.viewKey;
        }
    }
    return Key::Other;
}

}  // namespace App
