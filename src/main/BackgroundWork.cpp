#include "main/BackgroundWork.h"

#include <filesystem>
#include <utility>

#include "imageopen/ImageIO.h"

bool BackgroundWork::begin(Kind kind, const std::string& name)
{
    if (job.busy()) return false;
    what = kind;
    fileName = name;
    ok = false;
    failure.clear();
    return true;
}

bool BackgroundWork::startPhotograph(const std::string& name)
{
    if (!begin(Kind::photograph, name)) return false;
    return job.start([this](JobProgress& progress) {
        DecoderSettings settings;
        settings.job = &progress;
        ok = ImageIO::load(decodedPhotograph, fileName.c_str(), failure, settings);
    });
}

bool BackgroundWork::startMask(const std::string& name)
{
    if (!begin(Kind::mask, name)) return false;
    return job.start([this](JobProgress& progress) {
        DecoderSettings settings;
        settings.job = &progress;
        ok = ImageIO::load(decodedMask, fileName.c_str(), failure, settings);
    });
}

bool BackgroundWork::startSave(SaveSnapshot taken, const std::string& path)
{
    if (!begin(Kind::save, path)) return false;
    snapshot = std::move(taken);
    return job.start([this](JobProgress& progress) { ok = snapshot.write(fileName, failure, &progress); });
}

std::string BackgroundWork::progressText() const
{
    const std::string file = std::filesystem::path(fileName).filename().string();
    std::string text = (what == Kind::save ? "Saving " : "Loading ") + file + " ...";
    const int percent = static_cast<int>(job.fraction() * 100.0f);
    if (percent > 0) text += " " + std::to_string(percent) + "%";
    return text;
}

void BackgroundWork::forget()
{
    if (job.busy()) return;
    decodedPhotograph.adopt(0, 0, nullptr);
    decodedMask.adopt(0, 0, nullptr);
    snapshot = SaveSnapshot();
}
