#include "app/ScanChildren.h"

#include "core/Win32Owners.h"

namespace {

// Closed by the system when this process ends, however it ends; the
// children in it end then too.
HANDLE ScanJob() {
    static UniqueHandle job = [] {
        UniqueHandle made(CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made.Valid() &&
            !SetInformationJobObject(made.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
            made.Reset(nullptr);
        return made;
    }();
    return job.Get();
}

}  // namespace

void TieToScan(HANDLE process) {
    if (HANDLE job = ScanJob()) AssignProcessToJobObject(job, process);
}
