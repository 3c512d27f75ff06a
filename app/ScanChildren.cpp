#include "app/ScanChildren.h"

namespace {

// Never closed by us: the system closes it when this process ends, however
// it ends, and the children in the job end then too. Closing it on the way
// out would end this process as well, with another exit code than its own.
HANDLE ScanJob() {
    static HANDLE job = [] {
        HANDLE made = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made && !SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            CloseHandle(made);
            made = nullptr;
        }
        // In the job ourselves, every child is born in it: a scan ended
        // between starting a child and tying it would otherwise leave that
        // child behind for good. From here on a process that a plug-in
        // probed in this process starts is in the job too and ends with the
        // scan, as those started in workers always did.
        if (made) AssignProcessToJobObject(made, GetCurrentProcess());
        return made;
    }();
    return job;
}

}  // namespace

void PrepareScanChildren() {
    ScanJob();
}

void TieToScan(HANDLE process) {
    // Already in the job when it was born in it; tied here when this scan
    // could not join its own job (one a host put it in that allows none).
    if (HANDLE job = ScanJob()) AssignProcessToJobObject(job, process);
}
