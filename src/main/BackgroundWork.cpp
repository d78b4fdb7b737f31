#include "main/BackgroundWork.h"

#include <filesystem>
#include <utility>

#include "imageopen/ImageIO.h"

bool BackgroundWork::begin(Kind kind, const std::string& name)
{
    if (job.busy())
        return false;
    what = kind;
    fileName = name;
    ok = false;
    failure.clear();
    return true;
}

template <typename T>
bool BackgroundWork::startLoad(Kind kind, const std::string& name, ImageRect<T>& into, SizeCheck sizeCheck)
{
    if (!begin(kind, name))
        return false;
    return job.start([this, &into, check = std::move(sizeCheck)](JobProgress& progress) {
        DecoderSettings settings;
        settings.job = &progress;
        settings.sizeCheck = check;
        ok = ImageIO::load(into, fileName.c_str(), failure, settings);
    });
}

bool BackgroundWork::startPhotograph(const std::string& name, SizeCheck sizeCheck)
{
    return startLoad(Kind::photograph, name, decodedPhotograph, std::move(sizeCheck));
}

bool BackgroundWork::startMask(const std::string& name)
{
    return startLoad(Kind::mask, name, decodedMask, nullptr);
}

bool BackgroundWork::startSave(SaveSnapshot taken, const std::string& path)
{
    if (!begin(Kind::save, path))
        return false;
    snapshot = std::move(taken);
    return job.start([this](JobProgress& progress) { ok = snapshot.write(fileName, failure, &progress); });
}

std::string BackgroundWork::progressText() const
{
    const std::string file = std::filesystem::path(fileName).filename().string();
    std::string text = (what == Kind::save ? "Saving " : "Loading ") + file + " ...";
    const int percent = static_cast<int>(job.fraction() * 100.0f);
    if (percent > 0)
        text += " " + std::to_string(percent) + "%";
    return text;
}

void BackgroundWork::forget()
{
    if (job.busy())
        return;
    decodedPhotograph.adopt(0, 0, nullptr);
    decodedMask.adopt(0, 0, nullptr);
    snapshot = SaveSnapshot();
}
