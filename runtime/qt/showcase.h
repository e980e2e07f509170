// A demonstration written against the window model alone: a frame with menu, toolbar and status
// bar, and an MDI child on a thread of its own holding every control kind. It runs unchanged on
// the Qt display and on the headless one.
#pragma once

namespace rt::qt {

// Runs the frame on the calling program thread; returns when the frame has closed.
void runShowcase();

// The child window alone ("Showcase"), on the calling program thread.
void showcaseWindow();

// The equates, for tests that drive the showcase.
namespace showcase {
// Frame equates.
enum {
    MenuFile = 1,
    ItemPrintSetup,
    ItemSep1,
    ItemExit,
    MenuWindow,
    ItemTile,
    ItemCascade,
    ItemArrange,
    TbInsert = 20,
    TbChange,
    TbDelete,
    TbTop,
    TbPageUp,
    TbUp,
    TbLocate,
    TbDown,
    TbPageDown,
    TbBottom,
    TbHistory,
    TbHelp,
    TbClient,
    TbConnectGlobal,
};

// Child equates.
enum {
    PromptName = 100,
    EntryName,
    PromptPassword,
    EntryPassword,
    PromptAmount,
    EntryAmount,
    CheckActive,
    OptionPeriod,
    RadioYear,
    RadioLastYear,
    RadioFromLast,
    RadioAll,
    PromptFilter,
    DropFilter,
    PromptValue,
    ComboValue,
    PromptMonth,
    SpinMonth,
    TextScript,
    GroupLook,
    BoxSample,
    LineSample,
    PanelSample,
    ListCubes,
    TreeGroups,
    SheetMain,
    TabGeneral,
    StringGeneral,
    EntryGeneral,
    TabMore,
    CheckMore,
    ImageLogo,
    RegionMouse,
    StringMouse,
    ProgressRun,
    OleHost,
    ButtonOk,
    ButtonCancel,
    ButtonPrint,
    ButtonMessage,
};
}  // namespace showcase

inline constexpr const char* kShowcaseFrameProcedure = "ShowcaseFrame";
inline constexpr const char* kShowcaseProcedure = "Showcase";

}  // namespace rt::qt
