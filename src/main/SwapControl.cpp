#include "main/SwapControl.h"

#include <GL/glx.h>

#include "main/ExtensionList.h"

namespace {

using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
using SwapIntervalMesa = int (*)(unsigned int);
using SwapIntervalSgi = int (*)(int);

template <typename Function>
Function lookUp(const char* name)
{
    return reinterpret_cast<Function>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

}  // namespace

void disableSwapInterval()
{
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable)
        return;
    // The lookup answers non-null even for names that do not exist, and under
    // Xvfb calling an unlisted entry crashes: only the extension string decides.
    const char* listed = glXQueryExtensionsString(display, DefaultScreen(display));
    if (extensionListed(listed, "GLX_EXT_swap_control")) {
        if (auto set = lookUp<SwapIntervalExt>("glXSwapIntervalEXT"))
            set(display, drawable, 0);
    } else if (extensionListed(listed, "GLX_MESA_swap_control")) {
        if (auto set = lookUp<SwapIntervalMesa>("glXSwapIntervalMESA"))
            set(0);
    } else if (extensionListed(listed, "GLX_SGI_swap_control")) {
        if (auto set = lookUp<SwapIntervalSgi>("glXSwapIntervalSGI"))
            set(0);
    }
}
