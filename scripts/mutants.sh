#!/usr/bin/env bash
# Mutation check: how many small, deliberate faults in the program do the
# tests catch?
#
# Each mutant below is one edit of one product source file (a flipped
# comparison, a dropped registry write, a wrong value name...). The script
# copies the tracked files into a scratch tree, builds it once, and then for
# every mutant applies the edit, rebuilds, runs the test suite until the first
# failing test (first the one that caught it in docs/mutants-after.txt, if
# it still exists), and restores the file. A mutant is "caught" when a test fails
# (or the suite times out), "survived" when every test passes.
#
#   scripts/mutants.sh              every mutant
#   scripts/mutants.sh 3 17 40      only these (numbers as --list prints them)
#   scripts/mutants.sh --list       list the mutants and check they still apply
#
# The scratch tree is build/mutants/ (MUTANTS_DIR overrides it); the result
# table is also written to build/mutants/score.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scratch=${MUTANTS_DIR:-$root/build/mutants}
self="$root/scripts/mutants.sh"

# mutant.py <script> list|apply N <tree>: parses the list at the end of this
# file. Whitespace in the original text matches any run of whitespace; the
# text must occur exactly once in its file.
tool=$(mktemp)
trap 'rm -f "$tool"' EXIT
cat >"$tool" <<'PY'
import re, sys
script, verb = sys.argv[1], sys.argv[2]
text = open(script, encoding="utf-8").read().split("\n#=== mutants ===\n", 1)[1]
mutants = []
for line in text.splitlines():
    if line.startswith("@ "):
        path, _, what = line[2:].partition(" | ")
        mutants.append({"path": path.strip(), "what": what.strip(), "old": [], "new": []})
    elif line.startswith("- "):
        mutants[-1]["old"].append(line[2:])
    elif line.startswith("+ ") or line == "+":
        mutants[-1]["new"].append(line[2:])

def pattern(m):
    tokens = "\n".join(m["old"]).split()
    return re.compile(r"\s+".join(re.escape(t) for t in tokens))

def place(m, tree):
    source = open(f"{tree}/{m['path']}", encoding="utf-8").read()
    found = list(pattern(m).finditer(source))
    return source, found

if verb == "count":
    print(len(mutants))
elif verb == "list":
    tree = sys.argv[3]
    bad = 0
    for n, m in enumerate(mutants, 1):
        _, found = place(m, tree)
        state = "ok" if len(found) == 1 else f"STALE ({len(found)} matches)"
        bad += len(found) != 1
        print(f"{n:3} {m['path']:34} {m['what']}  [{state}]")
    sys.exit(1 if bad else 0)
elif verb == "paths":
    print("\n".join(sorted({m["path"] for m in mutants})))
elif verb == "file":
    print(mutants[int(sys.argv[3]) - 1]["path"])
elif verb == "what":
    print(mutants[int(sys.argv[3]) - 1]["what"])
elif verb == "apply":
    m = mutants[int(sys.argv[3]) - 1]
    tree = sys.argv[4]
    source, found = place(m, tree)
    if len(found) != 1:
        sys.exit(3)
    f = found[0]
    mutated = source[: f.start()] + "\n".join(m["new"]) + source[f.end():]
    open(f"{tree}/{m['path']}", "w", encoding="utf-8").write(mutated)
PY
mutant() { python3 "$tool" "$self" "$@"; }

if [ "${1:-}" = "--list" ]; then
  mutant list "$root"
  exit $?
fi

count=$(mutant count)
if [ $# -gt 0 ]; then chosen=("$@"); else chosen=($(seq 1 "$count")); fi

scripts/setup.sh
echo "Copying the tracked files into $scratch/src"
rm -rf "$scratch/src"
mkdir -p "$scratch/src"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$scratch/src"
# A run stopped half-way may have built a mutant whose file is older than its
# objects now: the files the mutants edit are built again.
for path in $(mutant paths); do touch "$scratch/src/$path"; done
if [ ! -f "$scratch/build/CMakeCache.txt" ]; then
  cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
echo "Building the unchanged tree"
cmake --build "$scratch/build" -j"$(nproc)" >"$scratch/build.log" 2>&1 || {
  tail -30 "$scratch/build.log"
  exit 1
}
echo "Running the tests on the unchanged tree"
(cd "$scratch/build" && ctest -j2 --timeout 600 >"$scratch/baseline.log" 2>&1) || {
  grep -E "Failed|Timeout" "$scratch/baseline.log" | head
  echo "The unchanged tree fails its tests: no score."
  exit 1
}

score="$scratch/score.txt"
: >"$score"
caught=0
tried=0
for n in "${chosen[@]}"; do
  file=$(mutant file "$n")
  what=$(mutant what "$n")
  cp "$scratch/src/$file" "$scratch/original"
  status=0
  mutant apply "$n" "$scratch/src" || status=$?
  if [ $status -ne 0 ]; then
    verdict="stale (the original text is gone)"
  elif ! cmake --build "$scratch/build" -j"$(nproc)" >"$scratch/mutant-build.log" 2>&1; then
    verdict="does not build"
  else
    tried=$((tried + 1))
    log="$scratch/mutant-$n.log"
    # The test that caught this mutant last time is tried first: the whole
    # suite runs the costliest tests first and a cheap catcher comes last.
    last=$(awk -v n="$n" '$1 == n { for (i = 2; i < NF; i++) if ($(i - 1) == "caught" && $i == "by") print $(i + 1) }' \
      "$root/docs/mutants-after.txt" 2>/dev/null | head -1)
    if [ -n "$last" ] && (cd "$scratch/build" && ctest -N -R "^$last\$" | grep -q ": $last\$") &&
      ! (cd "$scratch/build" && ctest -R "^$last\$" --timeout 300 >"$log" 2>&1); then
      caught=$((caught + 1))
      verdict="caught by $last"
    elif (cd "$scratch/build" && ctest -j2 --timeout 300 --stop-on-failure >"$log" 2>&1); then
      verdict="SURVIVED"
    else
      caught=$((caught + 1))
      first=$(grep -oE "(Test +#[0-9]+: )?[a-z0-9_]+ +\.+\**(Failed|Timeout|Exception)" "$log" |
        head -1 | sed -E 's/^Test +#[0-9]+: //; s/ +\..*//')
      verdict="caught by ${first:-a failing test}"
    fi
  fi
  cp "$scratch/original" "$scratch/src/$file"
  touch "$scratch/src/$file"
  printf '%3s  %-34s %-58s %s\n' "$n" "$file" "$what" "$verdict" | tee -a "$score"
done
# Put the build back to the unchanged tree for the next run.
cmake --build "$scratch/build" -j"$(nproc)" >/dev/null 2>&1 || true
echo "Caught $caught of $tried mutants that built." | tee -a "$score"
exit 0

#=== mutants ===
@ app/AnalysisLoop.cpp | known-bad modules are probed instead of skipped
- if (storedBad && !g_ctx.rescanFailed && !recheck
+ if (storedBad && g_ctx.rescanFailed && !recheck

@ app/AnalysisLoop.cpp | a known-bad module is not marked as seen (the sweep takes it)
- SetFailurePoint(L"Setting touch flag");
-         if (key) {
-             WriteDword(key.Get(), L"touch", 1);
-             NoteTouch(keyName, 1);
-         }
-         return;
+ SetFailurePoint(L"Setting touch flag");
+         return;

@ inventory/CrashMark.cpp | the crash marker is not written before plug-in code runs
- WriteDword(recordKey, L"isBad", 1);
+ WriteDword(recordKey, L"isBad", 0);

@ app/AnalysisLoop.cpp | a shell counts as one plug-in found
- g_ctx.pluginsFound += r.isShellRoot ? r.numClasses : 1;
+ g_ctx.pluginsFound += 1;

@ app/AnalysisLoop.cpp | a big shell is not announced right after its members
- subRecords.size() > 10
+ subRecords.size() > 30

@ app/AnalysisLoop.cpp | a renamed shell member keeps its old key
- if (old != MakeSubRecordKeyName(ownerKeyName, sub.uniqueId, sub.FullName))
+ if (false)

@ app/AnalysisLoop.cpp | old shell members are kept when the member count changes
- g_ctx.pluginsDeleted += DeleteShellChildren(inventoryKey.Get(), keyName);
+ g_ctx.pluginsDeleted += 0;

@ app/AnalysisLoop.cpp | an instrument keeps the tempo-based-effect flag
- if (r.isSynth) r.registerAsTempoBasedEffect = 0;
+ if (r.isSynth && r.isShell) r.registerAsTempoBasedEffect = 0;

@ app/Completion.cpp | a single-plug-in run overwrites the counters instead of adding
- if (g_ctx.singlePluginMode) {
+ if (!g_ctx.singlePluginMode) {

@ app/Completion.cpp | a wrong notification text
- L"Rebuilding plugin menus..."
+ L"Rebuilding plugin menu..."

@ app/Completion.cpp | the last update time is not written
- RegSetValueExW(key.Get(), L"lastUpdateTime", 0, REG_QWORD,
+ RegSetValueExW(key.Get(), L"lastUpdatedTime", 0, REG_QWORD,

@ app/CommandLine.cpp | /VSTRegPerUser is ignored
- g_ctx.registryRoot = HKEY_CURRENT_USER;
+ g_ctx.registryRoot = g_ctx.registryRoot;

@ app/CommandLine.cpp | the host window handle is dropped
- if (hwnd != 0) g_ctx.hostWindow
+ if (hwnd == 0) g_ctx.hostWindow

@ app/Initialise.cpp | sandboxed scans do not reset the counters the children add to
- if (g_ctx.scanInSandbox) ResetScanMetrics();
+ if (false) ResetScanMetrics();

@ app/Initialise.cpp | folder defaults start with force-mono off
- d.forceMono = 1;
+ d.forceMono = 0;

@ app/RunSequence.cpp | Cancel sweeps the records the loop never reached
- if (!g_ctx.singlePluginMode && !g_ctx.cancelRequested) g_ctx.pluginsDeleted += DeleteUntouched();
+ if (!g_ctx.singlePluginMode) g_ctx.pluginsDeleted += DeleteUntouched();

@ app/RunSequence.cpp | no scan-started notification
- if (!g_ctx.singlePluginMode) NotifyHostById(kNotifyProgress, IDS_SCAN_STARTED);
+ if (false) NotifyHostById(kNotifyProgress, IDS_SCAN_STARTED);

@ discovery/ScanPaths.cpp | .vst3 modules are not collected
- count += CollectMatches(folder, L"\\*.vst3", candidates);
+ count += 0;

@ discovery/ScanPaths.cpp | DLLs inside VST 3 folders are collected
- if (!StrStrIW(folder.c_str(), L"\\vst3"))
+ if (!StrStrIW(folder.c_str(), L"\\vst3\\nothing"))

@ inventory/TouchSweep.cpp | the sweep spares records of VST 3 modules
- if (v.touch) continue;
+ if (v.touch || v.isVst3) continue;

@ inventory/TouchSweep.cpp | removed VST 3 records are not counted
- if (!v.isShellRoot && (v.isVst || v.isVst3) && !IsEqualGUID(v.clsidPlug, GUID{})) ++count;
+ if (!v.isShellRoot && v.isVst && !IsEqualGUID(v.clsidPlug, GUID{})) ++count;

@ inventory/TouchSweep.cpp | a touch mark left from an earlier scan counts as this scan's
- if (seen == TouchSeen::No) {
+ if (seen == TouchSeen::Zero) {

@ inventory/TouchSweep.cpp | removed shell members are not counted
- if (EliminateSubkey(inventoryKey, name.c_str()) == 0) ++count;
+ if (EliminateSubkey(inventoryKey, name.c_str()) != 0) ++count;

@ inventory/InventoryStore.cpp | outputs stored as the input count
- WriteDword(k, L"numOutputs", r.numOutputs);
+ WriteDword(k, L"numOutputs", r.numInputs);

@ inventory/InventoryStore.cpp | the prefix preference is inverted
- WriteDword(k, L"addVstPrefix", noPrefix ? 0 : 1);
+ WriteDword(k, L"addVstPrefix", noPrefix ? 1 : 0);

@ inventory/InventoryStore.cpp | bridged instruments keep delay compensation
- WriteDword(k, L"delayCompensation", (!r.isX64 && r.isSynth) ? 0 : r.delayCompensation);
+ WriteDword(k, L"delayCompensation", r.delayCompensation);

@ inventory/InventoryStore.cpp | the bridge server is stored without its offset
- WriteDword(k, L"gantryServerId", static_cast<DWORD>(r.gantryServerId + 1));
+ WriteDword(k, L"gantryServerId", static_cast<DWORD>(r.gantryServerId));

@ inventory/InventoryStore.cpp | a rewritten record keeps its old file statistics
- WriteBinary(k, L"modStats", r.modStats, sizeof r.modStats);
-     WriteLog(
+ WriteLog(

@ inventory/InventoryStore.cpp | a VST 2 shell is not walked again on an unchanged scan
- if (r.isVst && r.isShell) r.factoryFlags = 1;
+ if (r.isVst && r.isShell && r.isX64 == 2) r.factoryFlags = 1;

@ inventory/InventoryStore.cpp | the vendor is stored from the product text
- WriteText(k, L"Vendor", r.Vendor);
+ WriteText(k, L"Vendor", r.description);

@ inventory/InventoryStore.cpp | a wrong value name for the editor height
- WriteDword(k, L"cyEditor", r.cyEditor);
+ WriteDword(k, L"cyEdit", r.cyEditor);

@ inventory/ModuleStats.cpp | a changed write time alone does not count as a change
- bool changed = CompareFileTime(&now.lastWrite, &stored.lastWrite) != 0 || now.size != stored.size;
+ bool changed = now.size != stored.size;

@ inventory/ClsidGen.cpp | the last two short-name characters swapped in the class id
- units[5], units[6], units[7]);
+ units[5], units[7], units[6]);

@ inventory/ClsidGen.cpp | the unique id hashed big-endian
- *at++ = static_cast<BYTE>(id >> (8 * i));
+ *at++ = static_cast<BYTE>(id >> (8 * (3 - i)));

@ vst2/Vst2Interrogate.cpp | any non-zero answer confirms a capability
- L"effCanDo") == 1;
+ L"effCanDo") != 0;

@ vst2/Vst2Interrogate.cpp | the generic editor grows past twenty rows
- record.cyEditor = kEditorRowHeight * (record.numParams < kEditorMaxRows ? record.numParams : kEditorMaxRows);
+ record.cyEditor = kEditorRowHeight * record.numParams;

@ vst2/Vst2Interrogate.cpp | an offline-only plug-in is offered as a plug-in
- record.isVst = offlineOnly ? 0 : 1;
+ record.isVst = 1;

@ vst2/Vst2Interrogate.cpp | the double-precision flag is not read
- record.doublePrecision = (flags & effFlagsCanDoubleReplacing) ? 1 : 0;
+ record.doublePrecision = 0;

@ vst2/HostCallback.cpp | the host does not tell a shell member its id
- case audioMasterCurrentId:
-             return static_cast<intptr_t>(g_currentPluginId);
+ case audioMasterCurrentId:
+             return 0;

@ vst2/HostCallback.cpp | the host denies the shell category
- return !_stricmp(what, "sendVstTimeInfo") || !strcmp(what, "shellCategory");
+ return !_stricmp(what, "sendVstTimeInfo");

@ vst2/ShellWalk.cpp | an unchanged shell's members are created again
- session.scanEntries = false;
+ session.scanEntries = true;

@ vst2/Vst2Probe.cpp | the file statistics are not noted after a probe
- ModuleChanged(record, true);
+ ModuleChanged(record, false);

@ vst2/Bridge.cpp | the bridge is looked for under another name
- constexpr wchar_t kBridgeFile[] = L"\\Gantry.dll";
+ constexpr wchar_t kBridgeFile[] = L"\\Gantry32.dll";

@ vst3/Vst3Probe.cpp | VST 3 instruments are not recognised
- memcpy(sub, c.info2.subCategories, PClassInfo2::kSubCategoriesSize);
-         rec.isSynth = strstr(sub, "Instrument") ? 1 : 0;
+ memcpy(sub, c.info2.subCategories, PClassInfo2::kSubCategoriesSize);
+         rec.isSynth = strstr(sub, "Instrumental") ? 1 : 0;

@ vst3/Vst3Probe.cpp | auxiliary input buses are not counted
- (bus.busType == Vst::kMain || bus.busType == Vst::kAux)
+ bus.busType == Vst::kMain

@ vst3/Vst3Probe.cpp | double precision asked for 32-bit samples
- canProcessSampleSize(Vst::kSample64)
+ canProcessSampleSize(Vst::kSample32)

@ vst3/Vst3Probe.cpp | an unchanged discardable factory is walked again
- p.proceed = ModuleChanged(p.module, false);
+ p.proceed = true;

@ vst3/Vst3Probe.cpp | the controller is never released
- if (c.controller) c.controller->release();
+ if (c.controller && !c.controller) c.controller->release();

@ notify/IpcNotificationMessage.cpp | notifications carry the wrong category
- message.category = 3;
+ message.category = 2;

@ notify/HostNotify.cpp | the inventory-change message goes nowhere
- PostMessageW(g_ctx.hostWindow, kInventoryChangeMessage, 0, 0);
+ PostMessageW(nullptr, kInventoryChangeMessage, 0, 0);

@ notify/QelPersistStream.cpp | the chunk size is written as zero
- if (SUCCEEDED(hr)) hr = WriteExact(stream, &size, sizeof size);
+ size = 0;
+     if (SUCCEEDED(hr)) hr = WriteExact(stream, &size, sizeof size);

@ app/ProbeGuard.cpp | "Enable Plug-in (Risky)" disables the plug-in
- g_ctx.errorDialogEnable = 1;
+ g_ctx.errorDialogEnable = 0;

@ app/ProbeGuard.cpp | plug-in errors are not counted
- ++g_ctx.pluginErrors;
+ g_ctx.pluginErrors += 0;

@ diag/ScanLog.cpp | a sandboxed child logs into the main log
- g_ctx.singlePluginMode ? L"\\SievoSandbox.log" : L"\\Sievo.log"
+ L"\\Sievo.log"

@ ui/ConfigStore.cpp | "rescan failed" is saved from the other check box
- WriteDword(key.Get(), L"rescanFailed", g_ctx.rescanFailed);
+ WriteDword(key.Get(), L"rescanFailed", g_ctx.rescanExisting);

@ ui/ConfigStore.cpp | a folder added in the dialog is not stored
- WriteText(g_ctx.pathsKey, folder, folder);
+ (void)folder;

@ ui/PathsDialog.cpp | the paths dialog shows "rescan existing" unchecked
- CheckDlgButton(dialog, IDC_PATHS_RESCAN_EXISTING, g_ctx.rescanExisting ? BST_CHECKED : BST_UNCHECKED);
+ CheckDlgButton(dialog, IDC_PATHS_RESCAN_EXISTING, BST_UNCHECKED);
