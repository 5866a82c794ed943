#include "CommandTable.h"

#include <algorithm>
#include <array>

namespace App {

namespace {

using namespace Cmd;

constexpr std::array kCommands = {
    CommandInfo{kFileOpen, "打开(&O)...", "Ctrl+O", "Open an existing document\n打开", "open"},
    CommandInfo{kFileClose, "关闭(&C)", "Ctrl+X", "Close the active document\n关闭", "close"},
    CommandInfo{kAppExit, "退出(&x)", "Alt+X", "Quit the application\nExit", "exit"},
    CommandInfo{kBackgroundColor, "背景颜色(&B)...", "Alt+B", "改变背景色\n改变背景色",
                "background"},
    CommandInfo{kModelColor, "模型颜色(&M)...", "Alt+M", "改变模型颜色\n改变模型颜色",
                "modelcolor"},
    CommandInfo{kRenderPoint, "点(&P)", "Ctrl+P", "点渲染模式\n点渲染模式", "point"},
    // The line mode's prompt repeats the point mode's, as the string table has it.
    CommandInfo{kRenderLine, "线(&L)", "Ctrl+L", "点渲染模式\n点渲染模式", "line"},
    CommandInfo{kRenderFill, "面(&F)", "Ctrl+F", "填充渲染模式\n填充渲染模式", "fill"},
    CommandInfo{kShowAxes, "显示坐标原点(&C)", "Alt+C", "显示/隐藏坐标轴\n显示/隐藏坐标轴", "axes"},
    CommandInfo{kShowSkeleton, "显示骨骼(&k)", "Alt+K", "显示/隐藏骨骼\n骨骼", nullptr},
    CommandInfo{kVersionCheck, "版本检查", nullptr, nullptr, nullptr},
    CommandInfo{kViewToolBar, "工具栏(&T)", "Alt+T", "显示/隐藏工具条\n工具条", "toolbar"},
    CommandInfo{kViewStatusBar, "状态栏(&S)", "Alt+S", "显示/隐藏状态条\n状态条", "statusbar"},
    CommandInfo{kViewTree, "目录树(&T)", "Alt+L", "显示/隐藏目录树\n目录树开关", "tree"},
    CommandInfo{kAppAbout, "关于(&A)...", nullptr,
                "Display program information, version number and copyright\nAbout", "about"},
    CommandInfo{kSaveFileList, nullptr, "Ctrl+S", "保存MDX文件列表\n保存MDX文件列表", nullptr},
    CommandInfo{kThrottle, nullptr, "Alt+A", "自动动画速度\n自动速度", nullptr},
    CommandInfo{kRenderTexture, nullptr, "Alt+R", "渲染贴图\n渲染贴图", nullptr},
    CommandInfo{kPartsButton, "零件显示", nullptr, nullptr, "parts"},
    CommandInfo{kRenderSkin, "渲染模型", nullptr, nullptr, nullptr},
    CommandInfo{kApplyAnimate, "显示动画", nullptr, nullptr, nullptr},
    CommandInfo{kExportAnimate, "导出动画帧...", nullptr, nullptr, nullptr},
    CommandInfo{kExportFile, "导出文件(&E)", nullptr, nullptr, nullptr},
    CommandInfo{kConvertToObj, "转换为Obj文件(&C)", nullptr, nullptr, nullptr},
    CommandInfo{kConvertToObjMtl, "转换为Obj文件(带材质)", nullptr, nullptr, nullptr},
    CommandInfo{kConvertToGltf, "转换为glTF文件", nullptr, nullptr, nullptr},
    CommandInfo{kLoadAttachment, "加载为挂件", nullptr, nullptr, nullptr},
    CommandInfo{kSaveScreenshot, "保存截图...", "Ctrl+Shift+S", "把视图保存为PNG图片\n保存截图",
                nullptr},
    CommandInfo{kPreviewTexture, "预览纹理", nullptr, nullptr, nullptr},
    CommandInfo{kLighting, "光照", nullptr, "用来自镜头的光照亮模型\n光照", nullptr},
    CommandInfo{kGroundGrid, "地面网格", nullptr, "在模型脚下显示每米一格的地面网格\n地面网格",
                nullptr},
    CommandInfo{kBonesOnTop, "骨骼置前", nullptr, "把骨骼画在模型前面; 单击关节选中骨骼\n骨骼置前",
                nullptr},
    CommandInfo{kModelInfo, "模型信息", nullptr, "显示/隐藏模型信息面板\n模型信息", nullptr},
    CommandInfo{kViewFile, "查看", nullptr, "在只读窗口中查看文件的文本或十六进制内容\n查看",
                nullptr},
    CommandInfo{kHelpKeys, "快捷键(&K)", "F1", "列出所有按键和鼠标操作\n快捷键", nullptr},
    CommandInfo{kShowSources, "来源", nullptr, "列出包含此文件的所有包\n来源", nullptr},
    CommandInfo{kFileCompare, "比较(&D)...", nullptr,
                "与另一个游戏目录比较, 标出新增和更改的文件\n比较", nullptr},
    CommandInfo{kPaneClose, nullptr, nullptr, nullptr, nullptr},
};

constexpr std::array<uint16_t, 13> kUpdateUi = {
    kViewToolBar,  kViewStatusBar, kViewTree, kRenderPoint, kRenderLine, kRenderFill, kShowAxes,
    kShowSkeleton, kVersionCheck,  kLighting, kGroundGrid,  kBonesOnTop, kModelInfo};

constexpr std::array<uint16_t, 26> kToolBar = {kFileOpen,
                                               kFileClose,
                                               0,
                                               kViewToolBar,
                                               kViewStatusBar,
                                               kViewTree,
                                               0,
                                               kRenderPoint,
                                               kRenderLine,
                                               kRenderFill,
                                               0,
                                               kShowAxes,
                                               0,
                                               kBackgroundColor,
                                               0,
                                               kModelColor,
                                               0,
                                               kAnimationList,
                                               0,
                                               kSpeedSlider,
                                               0,
                                               kPartsButton,
                                               0,
                                               kAppExit,
                                               0,
                                               kAppAbout};

}  // namespace

std::span<const CommandInfo> Commands() {
    return kCommands;
}

const CommandInfo* FindCommand(uint16_t id) {
    const auto* it = std::find_if(kCommands.begin(), kCommands.end(),
                                  [id](const CommandInfo& c) { return c.id == id; });
    return it == kCommands.end() ? nullptr : it;
}

std::span<const uint16_t> UpdateUiIds() {
    return kUpdateUi;
}

std::span<const uint16_t> ToolBarLayout() {
    return kToolBar;
}

}  // namespace App
