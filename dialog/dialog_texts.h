#pragma once

#include <string>

#include "interface_language.h"
#include "interface_text.h"

namespace quillmark {

// Every text the dialogs show, the Qt dialog and the Windows one alike,
// in both languages. The toolkits' own dialogs (standard buttons, file
// choosers) keep the toolkit's translations.
namespace dialog_text {

// The main dialog's captions and buttons.
inline constexpr InterfaceText kStart{"确定", "OK"};
inline constexpr InterfaceText kImageFileCaption{"镜像文件：", "Image file:"};
inline constexpr InterfaceText kNoImageChosen{"（请选择）", "(none chosen)"};
inline constexpr InterfaceText kChooseFile{"选择文件", "Choose File"};
inline constexpr InterfaceText kStartMacCaption{"起始MAC地址：", "Start MAC:"};
inline constexpr InterfaceText kDeviceCountCaption{"生成数量：", "Devices:"};
inline constexpr InterfaceText kStatusCaption{"状态：", "Status:"};
inline constexpr InterfaceText kOutputDirectoryCaption{"输出目录：", "Output folder:"};
inline constexpr InterfaceText kChooseFolder{"选择目录", "Choose Folder"};
inline constexpr InterfaceText kMacsPerDeviceCaption{"每设备MAC数量：", "MACs per device:"};
// Joins the end of the run and the note about another lot's files.
inline constexpr InterfaceText kStatusJoiner{"；", "; "};

// The pickers.
inline constexpr InterfaceText kChangeOutputFolder{"修改保存目录", "Change Output Folder"};
inline constexpr InterfaceText kChooseImageTitle{"选择固件镜像", "Choose Firmware Image"};
inline constexpr InterfaceText kImageFilter{"固件镜像", "Firmware images"};

// F1 without a guide to open.
inline constexpr InterfaceText kHelpFailed{"启动帮助失败。", "Help could not be started."};

// The failure count and its tooltip.
inline constexpr InterfaceText kFailureCount{"失败 %1 / %2", "Failed %1 / %2"};
inline constexpr InterfaceText kFailureTip{"%1 台设备中有 %2 台没有写成镜像文件",
                                           "%2 of %1 devices have no image file"};
inline constexpr InterfaceText kFailureTipDetail{"（%1）", " (%1)"};

// The system menu, with C, V and A as mnemonics.
inline constexpr InterfaceText kCloseMenu{"关闭(&C)", "&Close"};
inline constexpr InterfaceText kVerifyMenu{"校验输出目录(&V)", "&Verify Output Folder"};
inline constexpr InterfaceText kAboutMenu{"关于 Quillmark(&A)...", "&About Quillmark..."};

// The about box.
inline constexpr InterfaceText kAboutTitle{"关于 Quillmark", "About Quillmark"};
inline constexpr InterfaceText kAboutVersion{"Quillmark 1.0 版", "Quillmark version 1.0"};
inline constexpr InterfaceText kAboutCredit{"固件镜像由产线固件组提供",
                                            "Firmware images come from the line's firmware group"};
inline constexpr InterfaceText kAboutOk{"确定", "OK"};

}  // namespace dialog_text

// The user guide's file name beside the program named programBaseName
// ("Quillmark" → "Quillmark.html", the English one "Quillmark_en.html").
std::string HelpPageName(const std::string& programBaseName, InterfaceLanguage language);

// Where F1 leads in the guide: the topic of the dialog that has the focus.
inline constexpr unsigned kMainDialogHelpTopic = 0x20066;
inline constexpr unsigned kAboutDialogHelpTopic = 0x20064;
std::string HelpTopicAnchor(unsigned topic);

}  // namespace quillmark
