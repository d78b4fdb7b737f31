#pragma once

#include "algebra/PixelRect.h"
#include "algebra/Point2f.h"
#include "algebra/vec3.h"
#include "model/ModelSettings.h"
#include "model/NaturalLook.h"
#include "model/PixelArray.h"

#include <cstdint>
#include <memory>
#include <vector>

// The record of everything known about one loaded photograph, and the weathering
// operations on it, one file each:
//   - lifetime and path:  initFromImage, applyMaskImage, reinitialise,
//                         addPathPoint, removeLastPathPoint         (WeatheringModel.cpp)
//   - the degree pass:    computeDegrees                            (WeatheringModelDegrees.cpp)
//   - rates and steps:    computeRates, computeRateAt, simulationStep (WeatheringModelSimulation.cpp)
//   - the brush:          applyBrush                                (WeatheringModelBrush.cpp)
//   - showing it:         refreshTexture, refreshTextureInBrush (through `uploader`),
//                         bringColoursUpToDate, pending paint       (WeatheringModelPaint.cpp)
// The index helpers they share are in ModelIndexing.h.
//   - the look:           setLook ("Sampled", the default, or "Natural": NaturalLook.h)
// Per-pixel state is a set of flat arrays with index y * width + x, row 0 at the bottom.
// Every operation except initFromImage does nothing until a photograph has been loaded.
//
// Colours are painted lazily. A step or a dab repaints a pixel from the tables by its
// degree; instead of writing `lab` there and then, the model keeps the degree the colour
// is to be painted from, and paints it into `lab` only before the tables or the mask
// change; a refresh, a path point and an in-brush refresh use the painted colours
// without waiting for that. So `lab` may lag behind. Code outside the model that reads
// or writes `lab` (a save, frames of a run, a snapshot) calls bringColoursUpToDate()
// first. Every other array is always what the operations so far made it.
//
// The per-pixel passes run on all cores (parallel/ParallelShares.h), with results that
// do not depend on the number of threads.

// One entry of the degree table. Two overlaid uses: by fine index trunc(degree * 10000)
// `a` and `b` hold the chroma sample of that degree (a = -1000: no sample); by coarse
// index trunc(degree * 150) `lightnessSum` and `count` accumulate L* of that bucket.
struct DegreeBin {
    float lightnessSum;
    float a;
    float b;
    float count;
};

// Hands a refresh's changed rectangle of a width x height 8-bit RGBA image (rgbToRgba8
// of `rgb`) to the display, which owns the texture; the rectangle is empty when a
// refresh changed nothing. The shell sets it to its GL upload; tests leave it null and
// nothing is handed on.
using TextureUploader = void (*)(const std::uint32_t* rgba, int width, int height, const PixelRect& changed);

// How the model places pixels on the path and weathers them.
enum class Look { sampled, natural };

constexpr int fineBinCount = 10001;  // degrees 0 ... 1 in steps of 1/10000
constexpr int coarseBinCount = 151;  // degrees 0 ... 1 in steps of 1/150

// A colour's position in the chroma plane, where the path and all colour distances live.
// The two axes are scaled differently; L* plays no part.
Point2f chromaPlanePosition(const MyAlgebra::vec3& lab);

struct WeatheringModel {
    PixelArray<MyAlgebra::vec3> rgb;           // display colour, RGB form of lab after a refresh
    PixelArray<MyAlgebra::vec3> lab;           // working colour; see bringColoursUpToDate
    PixelArray<MyAlgebra::vec3> labReference;  // the photograph as loaded, in L*a*b*
    PixelArray<float> degree;                  // 0 = start of the path ... 1 = its end
    float maxDegree = 0.0f;                    // upper clamp of every degree
    PixelArray<float> rate;                    // weathering speed factor per pixel; the Natural look's progress
    PixelArray<float> mask;                    // 1 takes part, 0 excluded; tested as >= 1
    PixelArray<float> detail;                  // L* relative to its coarse bucket's mean
    DegreeBin degreeBins[fineBinCount] = {};
    float binDistance[fineBinCount] = {};  // squared chroma distance of each fine sample; -1: none beside the path
    float meanLightness[coarseBinCount] = {};
    int width = 512;
    int height = 512;
    int displayWidth = 512;
    int displayHeight = 512;
    std::vector<Point2f> imagePoints;          // the path as clicked, in image pixels
    std::vector<Point2f> chromaPoints;         // the same path in the chroma plane
    std::vector<MyAlgebra::vec3> pathColours;  // the colour each click picked, L*a*b*
    Look look = Look::sampled;
    NaturalLook natural;  // what the Natural look derives; empty in the Sampled one
    TextureUploader uploader = nullptr;
    PixelArray<std::uint32_t> rgba;  // `rgb` as the texture stores it, 8 bits a channel

    // Builds the record from newWidth * newHeight RGB pixels, which becomes the size and
    // the display size. Returns false, prints one line on std::cerr and changes nothing
    // if the arrays cannot be allocated. Mask all ones, path empty, degrees 0.
    bool initFromImage(const MyAlgebra::vec3* pixels, int newWidth, int newHeight);
    // Whether arrays for the current width x height exist.
    bool hasImage() const;

    // Sets mask[i] = values[i] > 0.5. A mask of another size writes at most
    // width * height entries and says so on std::cerr. Takes effect with reinitialise.
    void applyMaskImage(const float* values, int count);

    // Appends a pixel position and the chroma of its working colour to the path; positions
    // outside the photograph are ignored.
    void addPathPoint(float x, float y);
    void removeLastPathPoint();
    // Places every masked pixel on the path and learns the degree tables and detail from
    // the photograph; a path of fewer than two points changes nothing.
    void computeDegrees();

    void computeRates(const ModelSettings& s);
    void computeRateAt(float x, float y, const ModelSettings& s);
    // Repaints every masked pixel from the tables by its degree, then advances the degree.
    void simulationStep(const ModelSettings& s);
    // One dab of s.brushSize radius at s.speed around pixel (x, y).
    void applyBrush(int x, int y, const ModelSettings& s);

    void refreshTexture();  // converts all of lab to rgb, then uploads
    // Converts only the masked pixels of the brush disc and uploads their rectangle.
    void refreshTextureInBrush(float x, float y, const ModelSettings& s);

    // Paints every colour that steps and dabs left pending, so that `lab` is what the
    // operations so far made it. Call it before reading or writing `lab` from outside the
    // model. Cheap when nothing is pending.
    void bringColoursUpToDate();

    // The working colours of pixels start ... start + count - 1 as they are now, into
    // colours, without painting anything into `lab`: for readers that must leave the
    // model's state exactly as it is (the undo history keeps it, pending colours and all).
    void currentLabOf(int start, int count, MyAlgebra::vec3* colours) const
    {
        for (int first = start; first < start + count; first += paintRunLength) {
            const int n = start + count - first < paintRunLength ? start + count - first : paintRunLength;
            currentColours(first, n, colours + (first - start));
        }
    }

    // For the undo history, which keeps colours still to be painted as they are: the
    // degree each pixel's colour is to be painted from (see bringColoursUpToDate), and
    // the call to make after that array was written from outside.
    PixelArray<float>& degreesToPaint() { return pendingPaint; }
    void degreesToPaintRestored()
    {
        pendingFirstRow = 0;
        pendingEndRow = hasImage() ? height : 0;
    }

    // Back to the photograph's colours, keeping mask, path and labReference; recomputes
    // degrees, tables and rates from the path and refreshes the texture. Null pixels:
    // from labReference, which holds the same colours converted the same way.
    void reinitialise(const MyAlgebra::vec3* pixels, const ModelSettings& s);

    // Chooses the look and restarts from the photograph as reinitialise does; the look
    // stays for later photographs.
    void setLook(Look chosen, const MyAlgebra::vec3* pixels, const ModelSettings& s);

    int pixelCount() const { return width * height; }

private:
    // The size the arrays were made for: hasImage() is false while width and height
    // disagree with it.
    int heldWidth = 0;
    int heldHeight = 0;

    // For each masked pixel, the degree its colour is still to be painted from; NaN, or a
    // degree whose fine bin has no sample, when nothing is pending. Outside rows
    // pendingFirstRow ... pendingEndRow - 1 every entry is NaN.
    PixelArray<float> pendingPaint;
    // Where a step writes the next degrees; then it becomes `degree`, and `degree` this.
    PixelArray<float> nextDegree;
    int pendingFirstRow = 0;
    int pendingEndRow = 0;
    static constexpr int paintRunLength = 256;  // the most pixels currentColours takes

    void resetDegreeTables();
    void startFromPhotograph(const MyAlgebra::vec3* pixels, bool newPhotograph, bool clearDegrees, bool shows);
    void showColours(const MyAlgebra::vec3* colours, int first, int count);
    bool hasSample(float degree) const;
    MyAlgebra::vec3 paintedColour(float degree, int i) const;
    MyAlgebra::vec3 currentLab(int i) const;
    void currentColours(int start, int count, MyAlgebra::vec3* colours) const;
    void paintPendingIn(int first, int last);
    void paintPendingInRect(const PixelRect& rect);
    void markPendingRows(int first, int end);
    float rateOf(int i, bool backwards) const;
    class RateWindow;  // three rows of values prepared for the rates of the middle one
    void rowRates(int y, bool backwards, RateWindow& window);
    void stepRow(int y, bool backwards, RateWindow& window);
    void countEmptyFineBins();
    std::vector<int> emptyFineBinsBelow;  // the step's count of fine bins without a sample
    struct PathPass;                      // the per-pass state of computeDegrees
    // The degree pass of computeDegrees up to the lightness detail, which needs the means
    // of the whole pass; true when it ran. For a restart it also sets the degree, rate and
    // detail of unmasked pixels to 0, as a restart does before it, and leaves the rates of
    // masked pixels to the pass that follows it (detailAndRates).
    bool placeAllOnPath(bool restart);
    // A restart's last pass: each row's lightness detail, then its rates, while the row's
    // degrees and mask are still in the cache.
    void detailAndRates(const ModelSettings& s);
    void placeOnPath(int first, int last, PathPass& pass, int share);
    void sumPlacedShares(PathPass& pass, int share, int begin, int end);
    void gatherDegreeTables(PathPass& pass);
    void brushRates(int x, int y, float radius, bool backwards);
    void brushUpdates(int x, int y, float radius, float stepFactor, bool backwards);
    void uploadRect(const PixelRect& changed);
};
