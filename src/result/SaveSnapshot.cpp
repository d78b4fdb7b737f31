#include "result/SaveSnapshot.h"

#include "background/JobProgress.h"
#include "colour/CieLab.h"
#include "imagesave/ImageWriter.h"

SaveSnapshot SaveSnapshot::ofColours(const WeatheringModel& model, const ResultRecipe& recipe)
{
    SaveSnapshot snapshot;
    if (!model.hasImage())
        return snapshot;
    snapshot.kind = Kind::colours;
    snapshot.width = model.width;
    snapshot.height = model.height;
    // The colours as they would be painted, without painting them: the undo history
    // keeps them pending.
    snapshot.lab.resize(static_cast<std::size_t>(model.pixelCount()));
    model.currentLabOf(0, model.pixelCount(), snapshot.lab.data());
    snapshot.description = describeResult(model, recipe);
    return snapshot;
}

SaveSnapshot SaveSnapshot::ofDegrees(const WeatheringModel& model, const ResultRecipe& recipe)
{
    SaveSnapshot snapshot;
    if (!model.hasImage())
        return snapshot;
    snapshot.kind = Kind::degrees;
    snapshot.width = model.width;
    snapshot.height = model.height;
    degreeMap16(model, snapshot.grey);
    snapshot.description = describeResult(model, recipe);
    return snapshot;
}

namespace {

// The conversion in pieces, so that a cancel (a quit) need not wait for all of it and
// the user's inputs need not wait for more than a piece.
bool convertUnlessCancelled(const std::vector<MyAlgebra::vec3>& lab, std::vector<MyAlgebra::vec3>& rgb,
                            const JobProgress* job)
{
    constexpr std::size_t piece = std::size_t(1) << 18;
    for (std::size_t start = 0; start < lab.size(); start += piece) {
        if (job != nullptr)
            job->giveWay();
        if (job != nullptr && job->cancelled())
            return false;
        const std::size_t count = lab.size() - start < piece ? lab.size() - start : piece;
        labToRgb(lab.data() + start, rgb.data() + start, static_cast<int>(count));
    }
    return true;
}

}  // namespace

bool SaveSnapshot::write(const std::string& path, std::string& reason, JobProgress* job) const
{
    if (kind == Kind::degrees) {
        if (ImageWriter::fileTypeOf(path) != ImageWriter::FileType::png) {
            reason = "the degree map is saved as a 16-bit PNG only (use .png)";
            return false;
        }
        return ImageWriter::saveGrey16Png(path, grey.data(), width, height, reason, description, job);
    }
    std::vector<MyAlgebra::vec3> rgb(lab.size());
    if (!convertUnlessCancelled(lab, rgb, job)) {
        reason = "cancelled";
        return false;
    }
    return ImageWriter::saveRgb(path, rgb.data(), width, height, reason, description, job);
}
