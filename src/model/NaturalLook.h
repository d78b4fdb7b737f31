#pragma once

#include "algebra/vec3.h"
#include "model/ModelSettings.h"
#include "model/PixelArray.h"

#include <cstdint>

struct WeatheringModel;

// The "Natural" look: a second way to place pixels on the path and weather them, chosen
// per model (WeatheringModel::look). Its operations, on the model's own arrays:
//   - the path:    pathSample (what a click picks), computeDegrees, prepare
//   - weathering:  step, brush
// In this look
//   - a click picks the median colour of the masked pixels around it, not one pixel;
//   - degrees come from lightly smoothed chroma, placed linearly along the path;
//   - the colour tables hold the mean and spread of all pixels of each degree, smoothed
//     across degrees, with empty degrees interpolated;
//   - a pixel keeps its own offset from its degree's colour, its fine detail scaled by
//     how the fine detail of the degrees differs, so a pixel whose degree has not moved
//     shows the photograph's exact colour;
//   - weathering spreads from weathered areas, at a speed that a smooth noise varies
//     over the surface, towards a target degree picked from the photograph's own
//     weathered degrees by that noise and by the pixel's own lightness structure;
//     a pixel moves once the neighbours the spread reaches first have moved;
//   - dewethering is the mirror: towards the photograph's clean degrees, a pixel
//     receding once the neighbours the spread reaches later have receded.
// A step changes each pixel's progress, which this look keeps in the model's `rate`
// (0: as in the photograph, 1: at its weathered target, -1: at its clean one; beyond
// those it only ages), and with it `degree` and `lab`: everything else here is derived
// from the photograph, the mask and the path, and `prepare` rebuilds it (after an undo,
// for example). Colours are written as the degree moves; nothing is pending.
class NaturalLook {
public:
    // The working colour around pixel (x, y): per channel the median of the masked
    // pixels of its 5 x 5 neighbourhood (the pixel itself when none is masked).
    static MyAlgebra::vec3 pathSample(const WeatheringModel& m, int x, int y);

    // Rebuilds the tables and per-pixel targets from the photograph, the mask and the
    // path, and sets every masked pixel's degree to its degree in the photograph. A path
    // of fewer than two points changes nothing. False when the memory cannot be had.
    bool computeDegrees(WeatheringModel& m);
    // Rebuilds what computeDegrees derives, leaving degrees and colours alone.
    bool prepare(WeatheringModel& m);
    // Forgets everything derived (another photograph, another look).
    void release();
    bool ready() const { return prepared; }
    // The degree of pixel i in the photograph (after ready()).
    float startDegreeOf(int i) const { return startDegree[i]; }

    // One simulation step of every masked pixel (s.dewethering runs it backwards).
    void step(WeatheringModel& m, const ModelSettings& s);
    // One dab of radius s.brushSize and strength s.speed around pixel (x, y).
    void brush(WeatheringModel& m, int x, int y, const ModelSettings& s);

    // Tables by degree, bins of 1/tableSize.
    static constexpr int tableSize = 1024;

private:
    bool prepared = false;
    int heldCount = 0;
    float pathReach = 0.0f;  // pixels further beside the path stay out of the tables

    // Per pixel: the degree in the photograph, how far it may move up (to the weathered
    // target) and down (to the clean target), how weathered the photograph is there
    // (0 ... 1), the local speed of the spread, when the spread reaches it (its
    // distance from the weathered areas, weighted by the speed), and scratch for a step.
    PixelArray<float> startDegree;
    PixelArray<float> upSpan;
    PixelArray<float> downSpan;
    PixelArray<float> startWeathered;
    PixelArray<float> spreadSpeed;
    PixelArray<float> arrival;
    PixelArray<float> before;
    // The photograph's fine detail: L*, a*, b* against their 5 x 5 neighbourhood mean.
    PixelArray<float> detailL;
    PixelArray<float> detailA;
    PixelArray<float> detailB;
    // The neighbour (0 ... 7) the spread reaches each pixel through; 8: none.
    PixelArray<std::uint8_t> reachedFrom;
    // What a step reads (prepareSteps): the share of the way a pixel's source must have
    // gone before it starts, the lowest progress it may recede to, and the neighbours it
    // is the source of (bit k: neighbour k).
    PixelArray<float> startsAt;
    PixelArray<float> lowest;
    PixelArray<std::uint8_t> children;

    // Per degree bin: mean L*, a*, b*, and the typical fine detail (a pixel against its
    // neighbourhood) of L* and of chroma.
    float meanL[tableSize];
    float meanA[tableSize];
    float meanB[tableSize];
    float fineL[tableSize];
    float fineC[tableSize];

    bool allocate(int count);
    void smoothedDegrees(const WeatheringModel& m);
    bool counts(const WeatheringModel& m, int i) const;
    void buildTables(const WeatheringModel& m);
    void buildTargets(const WeatheringModel& m);
    void lightnessStructure(const WeatheringModel& m, float* structure) const;
    void arrivalTimes(const WeatheringModel& m);
    void advanceRow(WeatheringModel& m, int y, bool backwards, const float* now, float* next) const;
    bool moveTo(WeatheringModel& m, int i, float progress) const;
    bool recolour(WeatheringModel& m, int i, float progress) const;
    void prepareSteps(const WeatheringModel& m);
    float lowestProgress(int i) const;
    MyAlgebra::vec3 colourAt(const WeatheringModel& m, int i, float degree) const;
    MyAlgebra::vec3 fineDetail(int i) const;
    void measureFineDetail(const WeatheringModel& m);
};
