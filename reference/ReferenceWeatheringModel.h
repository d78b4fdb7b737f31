#pragma once

// Frozen copy, for the tests only: the model and colour code as they were before their
// passes were rewritten for speed. The model must keep giving exactly these results.
// Do not change it.

#include "algebra/vec3.h"
#include "model/ModelSettings.h"

#include <memory>
#include <vector>

namespace reference {

// The record of everything known about one loaded photograph, and the weathering
// operations on it:
//   - building it:      initFromImage, applyMaskImage, reinitialise
//   - the path:         addPathPoint, removeLastPathPoint, computeDegrees
//   - weathering:       computeRates, computeRateAt, simulationStep, applyBrush
//   - showing it:       refreshTexture, refreshTextureInBrush (through `uploader`)
// Per-pixel state is a set of flat arrays with index y * width + x, row 0 at the bottom.
// Every operation except initFromImage does nothing until a photograph has been loaded.

// One entry of the degree table. Two overlaid uses: by fine index trunc(degree * 10000)
// `a` and `b` hold the chroma sample of that degree (a = -1000: no sample); by coarse
// index trunc(degree * 150) `lightnessSum` and `count` accumulate L* of that bucket.
struct DegreeBin {
    float lightnessSum;
    float a;
    float b;
    float count;
};

struct Point2f {
    float x;
    float y;
};

// Uploads a float RGB array into the texture name (creating it when 0). The shell
// sets it to its GL upload; tests leave it null and nothing is uploaded.
using TextureUploader = void (*)(unsigned int& texture, const MyAlgebra::vec3* rgb, int width, int height);

constexpr int fineBinCount = 10001;   // degrees 0 ... 1 in steps of 1/10000
constexpr int coarseBinCount = 151;   // degrees 0 ... 1 in steps of 1/150

// A colour's position in the chroma plane, where the path and all colour distances live.
// The two axes are scaled differently; L* plays no part.
Point2f chromaPlanePosition(const MyAlgebra::vec3& lab);

struct WeatheringModel {
    std::unique_ptr<MyAlgebra::vec3[]> rgb;           // display colour, RGB form of lab after a refresh
    std::unique_ptr<MyAlgebra::vec3[]> lab;           // working colour
    std::unique_ptr<MyAlgebra::vec3[]> labReference;  // the photograph as loaded, in L*a*b*
    std::unique_ptr<float[]> degree;                  // 0 = start of the path ... 1 = its end
    float maxDegree = 0.0f;                           // upper clamp of every degree
    std::unique_ptr<float[]> rate;                    // weathering speed factor per pixel
    std::unique_ptr<float[]> mask;                    // 1 takes part, 0 excluded; tested as >= 1
    std::unique_ptr<float[]> detail;                  // L* relative to its coarse bucket's mean
    DegreeBin degreeBins[fineBinCount] = {};
    float binDistance[fineBinCount] = {};  // squared chroma distance of each fine sample; -1: none beside the path
    float meanLightness[coarseBinCount] = {};
    int width = 512;
    int height = 512;
    int displayWidth = 512;
    int displayHeight = 512;
    std::vector<Point2f> imagePoints;   // the path as clicked, in image pixels
    std::vector<Point2f> chromaPoints;  // the same path in the chroma plane
    unsigned int texture = 0;
    TextureUploader uploader = nullptr;

    // Builds the record from width * height RGB pixels; the caller sets width, height and
    // the display size first. Returns false, prints one line on std::cerr and changes
    // nothing if the arrays cannot be allocated. Mask all ones, path empty, degrees 0.
    bool initFromImage(const MyAlgebra::vec3* pixels);
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
    void refreshTextureInBrush(float x, float y, const ModelSettings& s);  // only the masked brush disc

    // Back to the photograph's colours, keeping mask, path and labReference; recomputes
    // degrees, tables and rates from the path and refreshes the texture.
    void reinitialise(const MyAlgebra::vec3* pixels, const ModelSettings& s);

    int pixelCount() const { return width * height; }

private:
    // The size the arrays were made for: hasImage() is false while width and height
    // disagree with it, and a refused initFromImage puts them back.
    int heldWidth = 0;
    int heldHeight = 0;
    int heldDisplayWidth = 0;
    int heldDisplayHeight = 0;

    void resetDegreeTables();
    float rateOf(int i, bool backwards) const;
    void rowRates(int y, bool backwards);
    void updatePixel(int i, float stepFactor, bool backwards);
};

}  // namespace reference
