#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algebra/vec3.h"
#include "model/WeatheringModel.h"
#include "result/ModelResult.h"

class JobProgress;

// A result frozen at the moment of a save, so that the file can be written on another
// thread while the model goes on changing: the colours (kept as L*a*b*, so that taking
// them costs a copy and the conversion happens while writing) or the degree map, with
// the text that says how to make it again. Taken on the thread that owns the model;
// written on any thread. The file is the one saveModelImage or saveModelDegrees would
// have written at the moment the snapshot was taken.
class SaveSnapshot {
public:
    enum class Kind { colours, degrees };

    SaveSnapshot() = default;
    // Empty when the model holds no photograph.
    static SaveSnapshot ofColours(const WeatheringModel& model, const ResultRecipe& recipe);
    static SaveSnapshot ofDegrees(const WeatheringModel& model, const ResultRecipe& recipe);

    bool empty() const { return width == 0 || height == 0; }
    int pictureWidth() const { return width; }
    int pictureHeight() const { return height; }
    // Writes the file; false with a reason when nothing was saved (also "cancelled"
    // once the job was cancelled, leaving no file).
    bool write(const std::string& path, std::string& reason, JobProgress* job = nullptr) const;

private:
    Kind kind = Kind::colours;
    int width = 0;
    int height = 0;
    std::vector<MyAlgebra::vec3> lab;
    std::vector<std::uint16_t> grey;
    std::string description;
};
