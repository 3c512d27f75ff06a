// Every dispatcher call of the probe goes through here: it is traced in the
// scan log before and after, names itself in the step label, and is followed
// by a check of the whole process heap, so that a plug-in that corrupts
// memory is caught at the call that did it.
#pragma once

#include "vst2/Vst2Abi.h"

// The table name of an opcode, or "Unknown" outside the table.
const wchar_t* EffectOpcodeName(int32_t opcode);

// Calls effect->dispatcher and returns its result unchanged. `name` labels the
// call in the trace (may be null). Faults inside the plug-in propagate; heap
// corruption afterwards is logged and thrown as the integer 0.
intptr_t GuardedDispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                         const wchar_t* name);

// HeapValidate over the whole process heap.
bool ProcessHeapValid();
