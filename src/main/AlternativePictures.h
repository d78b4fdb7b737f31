#pragma once

#include <cstdint>
#include <vector>

#include "session/WeatheringSession.h"

// What the main window shows instead of the weathered colours, at the same zoom and
// pan: the photograph as loaded while `b` is held, and each pixel's degree through the
// degree colour map while "Show Degrees" is ticked. Knows what is out of date from the
// session's version counters.
class AlternativePictures {
public:
    // `b` pressed and released; true when that changes what is shown.
    bool holdBefore(bool held, const WeatheringSession& session);

    // Brings the degree picture up to date when it is shown; while the picture changes
    // continually (a run, a stroke) at most once per refresh interval.
    void refresh(const WeatheringSession& session, bool showDegrees, bool changingContinually, float now);
    bool haveWork(const WeatheringSession& session, bool showDegrees) const;

    // The texture the main window draws, 0 for the model's own; and a number that
    // changes whenever what it draws does.
    unsigned int texture(const WeatheringSession& session, bool showDegrees) const;
    unsigned int version(const WeatheringSession& session, bool showDegrees) const;

private:
    bool beforeHeld = false;
    unsigned int beforeTexture = 0;
    bool beforeUploaded = false;
    unsigned int beforePhotograph = 0;  // the session's photographVersion uploaded
    unsigned int degreeTexture = 0;
    std::vector<std::uint32_t> degreeRgba;
    bool degreesPainted = false;
    unsigned int degreesPaintedAt = 0;  // the session's degreeVersion painted
    float lastDegreeRefresh = 0.0f;
    unsigned int changes = 0;

    bool degreesShown(const WeatheringSession& session, bool showDegrees) const;
    bool degreesStale(const WeatheringSession& session) const;
    void paintDegrees(const WeatheringSession& session);
};
