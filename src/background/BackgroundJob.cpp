#include "background/BackgroundJob.h"

#include <utility>

BackgroundJob::~BackgroundJob()
{
    cancelAndWait();
}

bool BackgroundJob::start(Work work)
{
    if (busy()) return false;
    progress.reset();
    workDone.store(false);
    worker = std::thread([this, work = std::move(work)] {
        work(progress);
        workDone.store(true);
    });
    return true;
}

bool BackgroundJob::collect()
{
    if (!busy() || !workDone.load()) return false;
    worker.join();
    return true;
}

void BackgroundJob::cancelAndWait()
{
    if (!busy()) return;
    progress.cancel();
    worker.join();
}
