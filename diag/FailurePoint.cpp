#include "diag/FailurePoint.h"

#include <strsafe.h>

#include "diag/ScanLog.h"

FailurePoint g_failure;

void SetFunction(const wchar_t* label) {
    StringCchCopyW(g_failure.function, kLabelChars, label ? label : L"");
}

void SetFailurePoint(const wchar_t* label) {
    StringCchCopyW(g_failure.failurePoint, kLabelChars, label ? label : L"");
}

void SetStep(const wchar_t* label) {
    StringCchCopyW(g_failure.step, kLabelChars, label ? label : L"");
}

void LogExceptionLine() {
    WriteLog(L"%s: Exception in function [%s], failure point[%s]\r\n", kTag, g_failure.function,
             g_failure.failurePoint);
}
