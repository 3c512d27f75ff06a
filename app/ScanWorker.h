// A sandbox worker: this program started by a sandboxing scan with
// /ScanWorker:, probing one module after another as a /ScanVst: child probes
// its one module, so that a scan pays for a process start only now and then.
#pragma once

// Serves the scan until it closes the pipe or the worker retires; then
// closes the log. Initialisation has run with the scan's own flags.
void ServeAsWorker();
