#include "main/AlternativePictures.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "colour/DegreeColourMap.h"
#include "imageopen/TextureImageRect.h"
#include "main/Application.h"
#include "main/IdleSwitch.h"
#include "timing/RefreshThrottle.h"

namespace {

bool beforeHeld = false;
bool beforeStale = true;
bool degreesStale = true;
GLuint degreeTexture = 0;
std::vector<std::uint32_t> degreeRgba;
float lastDegreeRefresh = 0.0f;
unsigned int version = 0;

bool degreesShown()
{
    return appState.showDegrees != 0 && !beforeHeld && model.hasImage();
}

void refreshDegreePicture()
{
    degreeRgba.resize(static_cast<std::size_t>(model.pixelCount()));
    paintDegreeView(model.degree.get(), model.mask.get(), model.pixelCount(), degreeRgba.data());
    uploadRgbaTexture(degreeTexture, degreeRgba.data(), model.width, model.height, 0, 0, model.width, model.height);
    degreesStale = false;
    ++version;
}

}  // namespace

void degreesChanged()
{
    degreesStale = true;
    wakeIdle();
}

void photographChanged()
{
    beforeStale = true;
    degreesChanged();
}

void holdBefore(bool held)
{
    if (held == beforeHeld) return;
    beforeHeld = held;
    if (held && beforeStale && !inputImage.empty()) {
        inputImage.uploadTexture();
        beforeStale = false;
    }
    ++version;
    wakeIdle();
}

void refreshAlternativePictures(bool changingContinually)
{
    if (!degreesShown() || !degreesStale) return;
    if (changingContinually && !refreshIsDue(lastDegreeRefresh, appStopwatch.elapsed())) return;
    refreshDegreePicture();
}

bool alternativePicturesHaveWork()
{
    return degreesShown() && degreesStale;
}

unsigned int alternativeTexture()
{
    if (beforeHeld && !inputImage.empty()) return inputImage.texture;
    if (degreesShown()) return degreeTexture;
    return 0;
}

unsigned int alternativePictureVersion()
{
    // The tick itself changes the picture too.
    return version * 2 + (degreesShown() ? 1u : 0u);
}
