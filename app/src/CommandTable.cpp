#include "CommandTable.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>

namespace App {

namespace {

using namespace Cmd;

// The translation context of the table's texts.
constexpr const char* kContext = "App::Commands";

constexpr std::array kCommands = {
    CommandInfo{kFileOpen, QT_TRANSLATE_NOOP("App::Commands", "打开(&O)..."), "Ctrl+O",
                QT_TRANSLATE_NOOP("App::Commands", "Open an existing document\n打开"), "open"},
    CommandInfo{kFileClose, QT_TRANSLATE_NOOP("App::Commands", "关闭(&C)"), "Ctrl+X",
                QT_TRANSLATE_NOOP("App::Commands", "Close the active document\n关闭"), "close"},
    CommandInfo{kAppExit, QT_TRANSLATE_NOOP("App::Commands", "退出(&x)"), "Alt+X",
                QT_TRANSLATE_NOOP("App::Commands", "Quit the application\nExit"), "exit"},
    CommandInfo{kBackgroundColor, QT_TRANSLATE_NOOP("App::Commands", "背景颜色(&B)..."), "Alt+B",
                QT_TRANSLATE_NOOP("App::Commands", "改变背景色\n改变背景色"), "background"},
    CommandInfo{kModelColor, QT_TRANSLATE_NOOP("App::Commands", "模型颜色(&M)..."), "Alt+M",
                QT_TRANSLATE_NOOP("App::Commands", "改变模型颜色\n改变模型颜色"), "modelcolor"},
    CommandInfo{kRenderPoint, QT_TRANSLATE_NOOP("App::Commands", "点(&P)"), "Ctrl+P",
                QT_TRANSLATE_NOOP("App::Commands", "点渲染模式\n点渲染模式"), "point"},
    // The line mode's prompt repeats the point mode's, as the string table has it (English
    // tells the two apart: CommandPrompt).
    CommandInfo{kRenderLine, QT_TRANSLATE_NOOP("App::Commands", "线(&L)"), "Ctrl+L",
                QT_TRANSLATE_NOOP("App::Commands", "点渲染模式\n点渲染模式"), "line"},
    CommandInfo{kRenderFill, QT_TRANSLATE_NOOP("App::Commands", "面(&F)"), "Ctrl+F",
                QT_TRANSLATE_NOOP("App::Commands", "填充渲染模式\n填充渲染模式"), "fill"},
    CommandInfo{kShowAxes, QT_TRANSLATE_NOOP("App::Commands", "显示坐标原点(&C)"), "Alt+C",
                QT_TRANSLATE_NOOP("App::Commands", "显示/隐藏坐标轴\n显示/隐藏坐标轴"), "axes"},
    CommandInfo{kShowSkeleton, QT_TRANSLATE_NOOP("App::Commands", "显示骨骼(&k)"), "Alt+K",
                QT_TRANSLATE_NOOP("App::Commands", "显示/隐藏骨骼\n骨骼"), nullptr},
    CommandInfo{kVersionCheck, QT_TRANSLATE_NOOP("App::Commands", "版本检查"), nullptr, nullptr,
                nullptr},
    CommandInfo{kViewToolBar, QT_TRANSLATE_NOOP("App::Commands", "工具栏(&T)"), "Alt+T",
                QT_TRANSLATE_NOOP("App::Commands", "显示/隐藏工具条\n工具条"), "toolbar"},
    CommandInfo{kViewStatusBar, QT_TRANSLATE_NOOP("App::Commands", "状态栏(&S)"), "Alt+S",
                QT_TRANSLATE_NOOP("App::Commands", "显示/隐藏状态条\n状态条"), "statusbar"},
    CommandInfo{kViewTree, QT_TRANSLATE_NOOP("App::Commands", "目录树(&T)"), "Alt+L",
                QT_TRANSLATE_NOOP("App::Commands", "显示/隐藏目录树\n目录树开关"), "tree"},
    CommandInfo{
        kAppAbout, QT_TRANSLATE_NOOP("App::Commands", "关于(&A)..."), nullptr,
        QT_TRANSLATE_NOOP("App::Commands",
                          "Display program information, version number and copyright\nAbout"),
        "about"},
    CommandInfo{kSaveFileList, nullptr, "Ctrl+S",
                QT_TRANSLATE_NOOP("App::Commands", "保存MDX文件列表\n保存MDX文件列表"), nullptr},
    CommandInfo{kThrottle, nullptr, "Alt+A",
                QT_TRANSLATE_NOOP("App::Commands", "自动动画速度\n自动速度"), nullptr},
    CommandInfo{kRenderTexture, nullptr, "Alt+R",
                QT_TRANSLATE_NOOP("App::Commands", "渲染贴图\n渲染贴图"), nullptr},
    CommandInfo{kPartsButton, QT_TRANSLATE_NOOP("App::Commands", "零件显示"), nullptr, nullptr,
                "parts"},
    CommandInfo{kRenderSkin, QT_TRANSLATE_NOOP("App::Commands", "渲染模型"), nullptr, nullptr,
                nullptr},
    CommandInfo{kApplyAnimate, QT_TRANSLATE_NOOP("App::Commands", "显示动画"), nullptr, nullptr,
                nullptr},
    CommandInfo{kExportAnimate, QT_TRANSLATE_NOOP("App::Commands", "导出动画帧..."), nullptr,
                nullptr, nullptr},
    CommandInfo{kExportFile, QT_TRANSLATE_NOOP("App::Commands", "导出文件(&E)"), nullptr, nullptr,
                nullptr},
    CommandInfo{kConvertToObj, QT_TRANSLATE_NOOP("App::Commands", "转换为Obj文件(&C)"), nullptr,
                nullptr, nullptr},
    CommandInfo{kConvertToObjMtl, QT_TRANSLATE_NOOP("App::Commands", "转换为Obj文件(带材质)"),
                nullptr, nullptr, nullptr},
    CommandInfo{kConvertToGltf, QT_TRANSLATE_NOOP("App::Commands", "转换为glTF文件"), nullptr,
                nullptr, nullptr},
    CommandInfo{kConvertToFbx, QT_TRANSLATE_NOOP("App::Commands", "转换为FBX文件"), nullptr,
                nullptr, nullptr},
    CommandInfo{kImportGltf, QT_TRANSLATE_NOOP("App::Commands", "导入glTF..."), nullptr, nullptr,
                nullptr},
    CommandInfo{kLoadAttachment, QT_TRANSLATE_NOOP("App::Commands", "加载为挂件"), nullptr, nullptr,
                nullptr},
    CommandInfo{kSaveScreenshot, QT_TRANSLATE_NOOP("App::Commands", "保存截图..."), "Ctrl+Shift+S",
                QT_TRANSLATE_NOOP("App::Commands", "把视图保存为PNG图片\n保存截图"), nullptr},
    CommandInfo{kCopyPicture, QT_TRANSLATE_NOOP("App::Commands", "复制图片"), "Ctrl+Shift+C",
                QT_TRANSLATE_NOOP("App::Commands", "把视图复制到剪贴板\n复制图片"), nullptr},
    CommandInfo{kExportMovie, QT_TRANSLATE_NOOP("App::Commands", "导出动画..."), "Ctrl+Shift+E",
                QT_TRANSLATE_NOOP("App::Commands", "把播放中的动画导出为GIF, WebP或视频\n导出动画"),
                nullptr},
    CommandInfo{kPreviewTexture, QT_TRANSLATE_NOOP("App::Commands", "预览纹理"), nullptr, nullptr,
                nullptr},
    CommandInfo{kLighting, QT_TRANSLATE_NOOP("App::Commands", "光照"), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "用来自镜头的光照亮模型\n光照"), nullptr},
    CommandInfo{kGroundGrid, QT_TRANSLATE_NOOP("App::Commands", "地面网格"), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "在模型脚下显示每米一格的地面网格\n地面网格"),
                nullptr},
    CommandInfo{
        kBonesOnTop, QT_TRANSLATE_NOOP("App::Commands", "骨骼置前"), nullptr,
        QT_TRANSLATE_NOOP("App::Commands", "把骨骼画在模型前面; 单击关节选中骨骼\n骨骼置前"),
        nullptr},
    CommandInfo{kModelInfo, QT_TRANSLATE_NOOP("App::Commands", "模型信息"), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "显示/隐藏模型信息面板\n模型信息"), nullptr},
    CommandInfo{
        kViewFile, QT_TRANSLATE_NOOP("App::Commands", "查看"), nullptr,
        QT_TRANSLATE_NOOP("App::Commands", "在只读窗口中查看文件的文本或十六进制内容\n查看"),
        nullptr},
    CommandInfo{kHelpKeys, QT_TRANSLATE_NOOP("App::Commands", "快捷键(&K)"), "F1",
                QT_TRANSLATE_NOOP("App::Commands", "列出所有按键和鼠标操作\n快捷键"), nullptr},
    CommandInfo{kShowSources, QT_TRANSLATE_NOOP("App::Commands", "来源"), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "列出包含此文件的所有包\n来源"), nullptr},
    CommandInfo{
        kFileCompare, QT_TRANSLATE_NOOP("App::Commands", "比较(&D)..."), nullptr,
        QT_TRANSLATE_NOOP("App::Commands", "与另一个游戏目录比较, 标出新增和更改的文件\n比较"),
        nullptr},
    CommandInfo{kPackMod, QT_TRANSLATE_NOOP("App::Commands", "打包补丁(&P)..."), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "把一个文件夹打包成游戏先读的补丁包\n打包补丁"),
                nullptr},
    CommandInfo{kModList, QT_TRANSLATE_NOOP("App::Commands", "补丁列表(&I)..."), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "列出覆盖其他包的包和它们的冲突\n补丁列表"),
                nullptr},
    CommandInfo{kGallery, QT_TRANSLATE_NOOP("App::Commands", "缩略图(&G)"), nullptr,
                QT_TRANSLATE_NOOP("App::Commands", "把文件夹里的所有模型显示为缩略图\n缩略图"),
                nullptr},
    CommandInfo{kPaneClose, nullptr, nullptr, nullptr, nullptr},
    // Each language is named in itself, in either language.
    CommandInfo{kLanguageChinese, "中文", nullptr, nullptr, nullptr},
    CommandInfo{kLanguageEnglish, "English", nullptr, nullptr, nullptr},
};

constexpr std::array<uint16_t, 15> kUpdateUi = {
    kViewToolBar, kViewStatusBar, kViewTree,     kRenderPoint,     kRenderLine,
    kRenderFill,  kShowAxes,      kShowSkeleton, kVersionCheck,    kLighting,
    kGroundGrid,  kBonesOnTop,    kModelInfo,    kLanguageChinese, kLanguageEnglish};

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

QString CommandText(const CommandInfo& info) {
    return info.text ? QCoreApplication::translate(kContext, info.text) : QString();
}

QString CommandPrompt(const CommandInfo& info) {
    if (!info.prompt) {
        return {};
    }
    if (info.id == kRenderLine) {
        return QCoreApplication::translate("App::Commands", "点渲染模式\n点渲染模式", "line mode");
    }
    return QCoreApplication::translate(kContext, info.prompt);
}

std::span<const uint16_t> UpdateUiIds() {
    return kUpdateUi;
}

std::span<const uint16_t> ToolBarLayout() {
    return kToolBar;
}

}  // namespace App
