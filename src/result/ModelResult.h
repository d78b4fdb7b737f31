#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algebra/vec3.h"
#include "model/WeatheringModel.h"

// What is kept of a weathering: the model's colours and its degree map, as arrays
// and as files. Nothing here changes the model.

// The model's colours as they are now: all of lab, the colours steps and dabs left
// pending as they will be painted (without painting them), converted to RGB; not the last throttled display
// refresh. Every output reads the model's colours through this one function. Empty
// when the model holds no photograph.
void currentRgb(WeatheringModel& model, std::vector<MyAlgebra::vec3>& rgb);

// A degree 0..1 as a 16-bit grey value, 0 -> 0 and 1 -> 65535, rounded; out-of-range
// degrees are clamped and NaN gives 0.
std::uint16_t degreeGrey16(float degree);

// The degree map as 16-bit grey values, pixels outside the mask 0.
void degreeMap16(const WeatheringModel& model, std::vector<std::uint16_t>& grey);

// What made a result besides the model's path, so that a saved file can say how to
// make it again.
struct ResultRecipe {
    std::string photograph;  // empty: not known
    std::string mask;        // empty: none
    int steps = 0;
    bool dewethering = false;
    int back = 0;  // steps the other way after `steps`
};

// The batch tool's command line that makes the result again:
// weathering-batch PHOTO [--mask MASK] --path "X1,Y1 ..." --steps N [--dewethering]
//   [--back N] [--look natural]
std::string describeResult(const WeatheringModel& model, const ResultRecipe& recipe);

// Saves currentRgb upright at the photograph's full size, 8 bits a channel, in the
// format of the path's extension, described by the recipe. False with a reason
// when nothing was saved.
bool saveModelImage(WeatheringModel& model, const std::string& path, std::string& reason,
                    const ResultRecipe& recipe = ResultRecipe());

// Saves degreeMap16 as a 16-bit grey PNG; the path must end in .png.
bool saveModelDegrees(const WeatheringModel& model, const std::string& path, std::string& reason,
                      const ResultRecipe& recipe = ResultRecipe());
