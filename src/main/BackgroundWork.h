#pragma once

#include <functional>
#include <string>

#include "algebra/vec3.h"
#include "background/BackgroundJob.h"
#include "imageopen/ImageRect.h"
#include "result/SaveSnapshot.h"

// The window tool's loads and saves, on a thread of their own so that both windows go
// on drawing and answering meanwhile: a load yields decoded pixels, a save writes a
// snapshot of the colours taken when it was asked for. The session is never touched
// here; the commands adopt what a load yields on the GUI thread (Commands.h). One at a
// time. Results are read only after collect().
class BackgroundWork {
public:
    enum class Kind { photograph, mask, save };

    // A size check for a photograph's decode, run on the loader's thread.
    using SizeCheck = std::function<std::string(int width, int height)>;

    // False, starting nothing, while other work is under way. A photograph's sizeCheck is
    // asked before its pixels arrive; it must not read the session (photographSizeCheck).
    bool startPhotograph(const std::string& name, SizeCheck sizeCheck);
    bool startMask(const std::string& name);
    bool startSave(SaveSnapshot snapshot, const std::string& path);

    bool busy() const { return job.busy(); }
    bool finished() const { return job.finished(); }
    // True once, when finished work can be read; the work is then over.
    bool collect() { return job.collect(); }
    void cancel() { job.cancel(); }
    // For quitting: the work stops (a decoder is killed, a half-written file removed).
    void cancelAndWait() { job.cancelAndWait(); }
    bool cancelled() const { return job.cancelled(); }
    void userActed() { job.userActed(); }

    // "Loading NAME ..." or "Saving NAME ...", with the share done once it is known.
    std::string progressText() const;

    Kind kind() const { return what; }
    // The file as the command named it.
    const std::string& name() const { return fileName; }
    bool succeeded() const { return ok; }
    const std::string& reason() const { return failure; }
    ImageRect<MyAlgebra::vec3>& photograph() { return decodedPhotograph; }
    ImageRect<float>& mask() { return decodedMask; }
    const SaveSnapshot& saved() const { return snapshot; }
    // Frees what the last work left (decoded pixels not taken, the saved snapshot).
    void forget();

private:
    Kind what = Kind::photograph;
    std::string fileName;
    bool ok = false;
    std::string failure;
    ImageRect<MyAlgebra::vec3> decodedPhotograph;
    ImageRect<float> decodedMask;
    SaveSnapshot snapshot;
    BackgroundJob job;  // last: it ends (and so stops using the members above) first

    bool begin(Kind kind, const std::string& name);
    // A photograph (float RGB) or a mask (float grey) decoded into `into`.
    template <typename T>
    bool startLoad(Kind kind, const std::string& name, ImageRect<T>& into, SizeCheck sizeCheck);
};
