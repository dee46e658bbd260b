#include "ClientResources.h"

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
        311,
        166,
        "MS Shell Dlg",
        8,
        {
            {EControlKind::ListView, IDC_LOG_LIST, "", kListStyle, DialogUnits(7, 7, 296, 138),
             "IDC_LOG_LIST"},
            {EControlKind::Button, IDC_LOG_CLEAR, "Clear", kButtonStyle,
             DialogUnits(7, 147, 31, 12), "IDC_LOG_CLEAR"},
        }};
    return resources;
}

} // namespace

const SLogVariant kClientLogVariant{IDC_LOG_LIST, IDC_LOG_CLEAR, 0, 0, false};

const CResources& ClientResources()
{
    static const CResources resources = MakeResources();
    return resources;
}
