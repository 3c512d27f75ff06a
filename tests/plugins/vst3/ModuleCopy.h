// For the probe tests: a private copy of one VST 3 test module in a scratch
// folder (so its trace file and file times are the test's own), the trace
// the module wrote, and calling the probe the way the scanner does.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/InventoryRecord.h"
#include "vst3/Vst3Probe.h"

namespace vst3_test {

class ModuleCopy {
public:
    // name without suffix
    explicit ModuleCopy(const std::wstring& name)
        : path_(dir_.Copy(sievo_test::PluginDir() + L"\\" + name + L".vst3", name + L".vst3")) {}

    const std::wstring& Path() const { return path_; }

    // A record as the analysis loop hands a new module to the probe.
    InventoryRecord Record() const {
        InventoryRecord r;
        lstrcpynW(r.FullPath, path_.c_str(), 260);
        return r;
    }

    std::vector<std::string> Trace() const {
        std::vector<std::string> lines;
        std::ifstream in(sievo_test::Narrow(path_ + L".trace"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    sievo_test::TempDir dir_;
    std::wstring path_;
};

struct ProbeOutcome {
    int result = -1;
    bool threw = false;
    int thrown = -1;
};

inline ProbeOutcome RunProbe(InventoryRecord& record, std::vector<InventoryRecord>* shell = nullptr) {
    ProbeOutcome out;
    try {
        out.result = LoadVst3Plugin(record, shell, nullptr);
    } catch (int code) {
        out.threw = true;
        out.thrown = code;
    }
    return out;
}

inline int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

}  // namespace vst3_test
