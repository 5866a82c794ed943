// The command ids shared by menus, tool bar buttons and accelerators, and what each shows.
#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace App {

namespace Cmd {
inline constexpr uint16_t kFileOpen = 57601;
inline constexpr uint16_t kFileClose = 57602;
inline constexpr uint16_t kAppExit = 57665;
inline constexpr uint16_t kBackgroundColor = 32833;
inline constexpr uint16_t kModelColor = 32828;
inline constexpr uint16_t kRenderPoint = 32805;
inline constexpr uint16_t kRenderLine = 32806;
inline constexpr uint16_t kRenderFill = 32814;
inline constexpr uint16_t kShowAxes = 32842;
inline constexpr uint16_t kShowSkeleton = 32867;
inline constexpr uint16_t kVersionCheck = 32887;
inline constexpr uint16_t kViewToolBar = 59392;
inline constexpr uint16_t kViewStatusBar = 59393;
inline constexpr uint16_t kViewTree = 32799;
inline constexpr uint16_t kAppAbout = 57664;
inline constexpr uint16_t kSaveFileList = 32835;
inline constexpr uint16_t kThrottle = 32873;
inline constexpr uint16_t kRenderTexture = 32862;
inline constexpr uint16_t kAnimationList = 32821;
inline constexpr uint16_t kSpeedSlider = 32822;
inline constexpr uint16_t kPartsButton = 32823;
inline constexpr uint16_t kRenderSkin = 32884;
inline constexpr uint16_t kApplyAnimate = 32885;
inline constexpr uint16_t kExportAnimate = 32886;
inline constexpr uint16_t kExportFile = 32857;
inline constexpr uint16_t kConvertToObj = 32859;
inline constexpr uint16_t kConvertToGltf = 32890;
// FBX through Blender, beside the glTF item; apart from the numbers the other commands take.
inline constexpr uint16_t kConvertToFbx = 32920;
inline constexpr uint16_t kLoadAttachment = 32889;
inline constexpr uint16_t kSaveScreenshot = 32891;
inline constexpr uint16_t kPreviewTexture = 32892;
inline constexpr uint16_t kConvertToObjMtl = 32893;
// Inspection aids beside the original commands; every mode starts off.
inline constexpr uint16_t kLighting = 32894;
inline constexpr uint16_t kGroundGrid = 32895;
inline constexpr uint16_t kBonesOnTop = 32896;
inline constexpr uint16_t kModelInfo = 32897;
inline constexpr uint16_t kViewFile = 32898;
inline constexpr uint16_t kHelpKeys = 32899;
inline constexpr uint16_t kLanguageChinese = 32900;
inline constexpr uint16_t kLanguageEnglish = 32901;
inline constexpr uint16_t kShowSources = 32902;
inline constexpr uint16_t kFileCompare = 32903;
inline constexpr uint16_t kPackMod = 32904;
inline constexpr uint16_t kModList = 32905;
inline constexpr uint16_t kCopyPicture = 32906;
inline constexpr uint16_t kExportMovie = 32907;
inline constexpr uint16_t kImportGltf = 32908;
inline constexpr uint16_t kGallery = 32909;
inline constexpr uint16_t kPaneClose = 0xE152;
inline constexpr uint16_t kFirstPart = 1000;
}  // namespace Cmd

// The texts are the Chinese sources; CommandText and CommandPrompt give them in the language
// in use.
struct CommandInfo {
    uint16_t id;
    const char* text;      // menu item text, or null when no menu of the frame carries it
    const char* shortcut;  // accelerator in QKeySequence form, or null
    const char* prompt;    // status prompt, a line break, tool tip; or null
    const char* icon;      // tool bar image in the resources, or null
};

// Every command of the frame that a QAction carries.
std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(uint16_t id);

// The item text, and the status prompt with its tool tip after a line break, translated;
// empty where the table has none.
QString CommandText(const CommandInfo& info);
QString CommandPrompt(const CommandInfo& info);

// Ids whose check marks the update-UI table keeps, in its order.
std::span<const uint16_t> UpdateUiIds();

// The tool bar's items in order; 0 is a separator, the embedded controls use their ids.
std::span<const uint16_t> ToolBarLayout();

}  // namespace App
