#include "background/BackgroundJob.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

namespace {

// The work yields the processor to the thread that started it (which draws and answers),
// and so do the threads and processes it starts, which inherit this.
constexpr int workNiceness = 10;

void yieldToStarter()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), workNiceness);
}

}  // namespace

BackgroundJob::~BackgroundJob()
{
    cancelAndWait();
}

bool BackgroundJob::start(Work work)
{
    if (busy())
        return false;
    progress.reset();
    workDone.store(false);
    worker = std::thread([this, work = std::move(work)] {
        yieldToStarter();
        work(progress);
        workDone.store(true);
    });
    return true;
}

bool BackgroundJob::collect()
{
    if (!busy() || !workDone.load())
        return false;
    worker.join();
    return true;
}

void BackgroundJob::cancelAndWait()
{
    if (!busy())
        return;
    progress.cancel();
    worker.join();
}
