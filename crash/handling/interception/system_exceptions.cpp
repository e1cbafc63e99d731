// System exception codes as the run-time's exception classes, with the
// run-time's own texts.
#include "crash/handling/interception/system_exceptions.h"

#include <cstdio>

#include "crash/handling/dispatch/runtime.h"

namespace ostrel::rt {
namespace {

std::string ModuleOf(std::uintptr_t address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(address), &module)) {
    return {};
  }
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

std::string Format(const char* format, std::uintptr_t a, std::uintptr_t b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(a), static_cast<unsigned>(b));
  return text;
}

std::string AccessViolationText(const EXCEPTION_RECORD& r) {
  const auto at = reinterpret_cast<std::uintptr_t>(r.ExceptionAddress);
  std::string text = Format("Access violation at address %08X", at);
  const std::string module = ModuleOf(at);
  if (!module.empty()) text += " in module '" + module + "'";
  if (r.NumberParameters >= 2) {
    const ULONG_PTR kind = r.ExceptionInformation[0];
    const char* verb = kind == 1 ? "Write of" : kind == 8 ? "Execution of" : "Read of";
    char tail[64];
    std::snprintf(tail, sizeof tail, ". %s address %08X", verb,
                  static_cast<unsigned>(r.ExceptionInformation[1]));
    text += tail;
  }
  return text;
}

}  // namespace

SystemExceptionClass MapSystemException(const EXCEPTION_RECORD& r) {
  SystemExceptionClass c;
  const DWORD code = r.ExceptionCode;
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      c.object = std::make_exception_ptr(EAccessViolation(code, AccessViolationText(r)));
      break;
    case EXCEPTION_STACK_OVERFLOW:
      c.object = std::make_exception_ptr(EStackOverflow(code, "Stack overflow"));
      break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      c.object = std::make_exception_ptr(EDivByZero(code, "Division by zero"));
      break;
    case EXCEPTION_INT_OVERFLOW:
      c.object = std::make_exception_ptr(EIntOverflow(code, "Integer overflow"));
      break;
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
      c.object = std::make_exception_ptr(ERangeError(code, "Range check error"));
      break;
    case EXCEPTION_PRIV_INSTRUCTION:
      c.object = std::make_exception_ptr(EPrivilege(code, "Privileged instruction"));
      break;
    case STATUS_CONTROL_C_EXIT:
      c.object = std::make_exception_ptr(EControlC(code, "Control-C hit"));
      break;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      c.object = std::make_exception_ptr(EZeroDivide(code, "Floating point division by zero"));
      break;
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
      c.object = std::make_exception_ptr(EInvalidOp(code, "Invalid floating point operation"));
      break;
    case EXCEPTION_FLT_OVERFLOW:
      c.object = std::make_exception_ptr(EOverflow(code, "Floating point overflow"));
      break;
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
      c.object = std::make_exception_ptr(EUnderflow(code, "Floating point underflow"));
      break;
    case 0xC0000417:  // STATUS_INVALID_CRUNTIME_PARAMETER, with no handler set
      c.object = std::make_exception_ptr(
          EOstrelError("Runtime error: invalid parameter passed to a C run-time function"));
      c.source = kSourceRuntimeError;
      break;
    case 0xC0000374:  // STATUS_HEAP_CORRUPTION: the run-time's last word
      c.object = std::make_exception_ptr(EOstrelError("Runtime error: the heap is corrupted"));
      c.source = kSourceRuntimeError;
      break;
    default:
      // The run-time has no class for it.
      c.object = std::make_exception_ptr(EOstrelError(Format("External exception %08X", code)));
      c.source = kSourceUnmappedSystem;
      break;
  }
  return c;
}

}  // namespace ostrel::rt
