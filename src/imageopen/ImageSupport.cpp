#include "imageopen/ImageSupport.h"

#include <IL/il.h>
#include <IL/ilut.h>

#include "imageopen/ImageIO.h"

// Kept apart from ImageIO: the renderer library pulls in GL and X11, which the
// headless programs and tests must not link.
void initImageSupport()
{
    initImageDecoder();
    ilInit();
    ilutInit();
    ilutRenderer(ILUT_OPENGL);
}
