#include "vst2/GuardedDispatch.h"

#include <windows.h>
#include <strsafe.h>

#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"

const wchar_t* EffectOpcodeName(int32_t opcode) {
    return opcode >= 0 && opcode < kEffectOpcodeNames ? kEffectOpcodeName[opcode] : L"Unknown";
}

bool ProcessHeapValid() {
    return HeapValidate(GetProcessHeap(), 0, nullptr) != FALSE;
}

intptr_t GuardedDispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                         const wchar_t* name) {
    WriteLog(L"%s: > dispatcher( %s=%d(%s), %d, %p, %p, %f )\r\n", kTag, name ? name : L"(null)", opcode,
             EffectOpcodeName(opcode), index, reinterpret_cast<void*>(value), ptr, static_cast<double>(opt));
    // Read the dispatcher now: a plug-in may swap it between calls.
    intptr_t result = effect->dispatcher(effect, opcode, index, value, ptr, opt);
    WriteLog(L"%s: < dispatcher = %p\r\n", kTag, reinterpret_cast<void*>(result));

    wchar_t step[kLabelChars];
    StringCchCopyW(step, kLabelChars, L" - HeapValidate: ");
    if (opcode >= 0 && opcode < kEffectOpcodeNames)
        StringCchCatW(step, kLabelChars, kEffectOpcodeName[opcode]);
    else if (name)
        StringCchCatW(step, kLabelChars, name);
    SetStep(step);

    if (!ProcessHeapValid()) {
        WriteLog(L"%s: Heap corrupted after calling dispatcher!\r\n", kTag);
        throw 0;
    }
    return result;
}
