#include "UiApplication.h"

#include <QGuiApplication>
#include <cstdlib>

namespace {

bool HasEnvironment(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0';
}

void ChoosePlatform()
{
    if (!HasEnvironment("DISPLAY") && !HasEnvironment("WAYLAND_DISPLAY") &&
        !HasEnvironment("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

CUiApplication::CUiApplication(int& argc, char** argv)
{
    ChoosePlatform();
    m_pApplication = std::make_unique<QApplication>(argc, argv);
}

CUiApplication::~CUiApplication() = default;

bool CUiApplication::IsHeadless()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}
