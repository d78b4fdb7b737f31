#include "main/AlternativePictures.h"

#include <vector>

#include "colour/DegreeColourMap.h"
#include "imageopen/GlErrorCheck.h"
#include "imageopen/TextureImageRect.h"
#include "timing/RefreshThrottle.h"

bool AlternativePictures::degreesShown(const WeatheringSession& session, bool showDegrees) const
{
    return showDegrees && !beforeHeld && session.hasPhotograph();
}

bool AlternativePictures::degreesStale(const WeatheringSession& session) const
{
    return !degreesPainted || degreesPaintedAt != session.degreeVersion();
}

void AlternativePictures::paintDegrees(const WeatheringSession& session)
{
    const WeatheringModel& model = session.model();
    degreeRgba.resize(static_cast<std::size_t>(model.pixelCount()));
    paintDegreeView(model.degree.get(), model.mask.get(), model.pixelCount(), degreeRgba.data());
    uploadRgbaTexture(degreeTexture, degreeRgba.data(), model.width, model.height, 0, 0, model.width, model.height);
    degreesPainted = true;
    degreesPaintedAt = session.degreeVersion();
    ++changes;
}

bool AlternativePictures::holdBefore(bool held, const WeatheringSession& session)
{
    if (held == beforeHeld)
        return false;
    beforeHeld = held;
    const WeatheringSession::PhotographSize& photograph = session.photograph();
    const bool stale = !beforeUploaded || beforePhotograph != session.photographVersion();
    if (held && stale && !photograph.empty()) {
        CHECK_GL_ERROR();
        // Made for the upload only: the session keeps no RGB copy of the photograph.
        std::vector<MyAlgebra::vec3> colours;
        session.photographColours(colours);
        uploadRgbTexture(beforeTexture, colours.data(), photograph.width, photograph.height);
        CHECK_GL_ERROR();
        beforeUploaded = true;
        beforePhotograph = session.photographVersion();
    }
    ++changes;
    return true;
}

void AlternativePictures::refresh(const WeatheringSession& session, bool showDegrees, bool changingContinually,
                                  float now)
{
    if (!degreesShown(session, showDegrees) || !degreesStale(session))
        return;
    if (changingContinually && !refreshIsDue(lastDegreeRefresh, now))
        return;
    paintDegrees(session);
}

bool AlternativePictures::haveWork(const WeatheringSession& session, bool showDegrees) const
{
    return degreesShown(session, showDegrees) && degreesStale(session);
}

unsigned int AlternativePictures::texture(const WeatheringSession& session, bool showDegrees) const
{
    if (beforeHeld && !session.photograph().empty())
        return beforeTexture;
    if (degreesShown(session, showDegrees))
        return degreeTexture;
    return 0;
}

unsigned int AlternativePictures::version(const WeatheringSession& session, bool showDegrees) const
{
    // The tick itself changes the picture too.
    return changes * 2 + (degreesShown(session, showDegrees) ? 1u : 0u);
}
