#include "ServerResources.h"

#include "resource.h"

namespace {

constexpr DWORD kPageStyle = DS_SHELLFONT | WS_CHILD;
constexpr DWORD kListStyle =
    LVS_REPORT | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP | WS_VISIBLE;
constexpr DWORD kButtonStyle = BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE;

CResources MakeResources()
{
    CResources resources;
    resources.Dialogs[IDD_LOG] = SDialogTemplate{
        IDD_LOG,
        "",
        kPageStyle,
        312,
        176,
        "MS Shell Dlg",
        8,
        {
            {EControlKind::ListView, IDC_LOG_LIST, "", kListStyle, DialogUnits(7, 7, 298, 146),
             "IDC_LOG_LIST"},
            {EControlKind::Button, IDC_LOG_CLEAR, "Clear", kButtonStyle,
             DialogUnits(7, 157, 30, 12), "IDC_LOG_CLEAR"},
            {EControlKind::Button, IDC_LOG_PRINT, "Print", kButtonStyle,
             DialogUnits(140, 157, 30, 12), "IDC_LOG_PRINT"},
            {EControlKind::Button, IDC_LOG_SAVE, "Save", kButtonStyle,
             DialogUnits(275, 157, 30, 12), "IDC_LOG_SAVE"},
        }};
    return resources;
}

} // namespace

const SLogVariant kServerLogVariant{IDC_LOG_LIST, IDC_LOG_CLEAR, IDC_LOG_PRINT, IDC_LOG_SAVE,
                                    true};

const CResources& ServerResources()
{
    static const CResources resources = MakeResources();
    return resources;
}
