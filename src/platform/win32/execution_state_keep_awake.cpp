#include <windows.h>

#include "platform/win32/win32_system_ports.h"

namespace qv {

namespace {
constexpr EXECUTION_STATE kStayAwake = ES_CONTINUOUS | ES_AWAYMODE_REQUIRED | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED;
static_assert(kStayAwake == 0x80000043);
static_assert(ES_CONTINUOUS == 0x80000000);
} // namespace

void ExecutionStateKeepAwake::request() { SetThreadExecutionState(kStayAwake); }

void ExecutionStateKeepAwake::release() { SetThreadExecutionState(ES_CONTINUOUS); }

} // namespace qv
