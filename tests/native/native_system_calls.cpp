#include "native_system_calls.h"

#include "link/client_locator.h"

namespace {

const long NOT_FOUND = 2;  // ERROR_FILE_NOT_FOUND
unsigned long now = 0;  // the clock, moved by the waits alone

void unexpected(const char* call) { ADD_FAILURE() << "unexpected system call: " << call; }

}  // namespace

const SystemCalls EMPTY_MACHINE = {
    [](RegistryKey, const char*, char*, long*) { return NOT_FOUND; },
    [](RegistryKey, const char*, RegistryKey*) { return NOT_FOUND; },
    [](RegistryKey, const char*) { unexpected("closeRegistryKey"); },
    [](const char*, const char*, const char* fallback, char* value, unsigned long size) {
      snprintf(value, size, "%s", fallback);
      return 0ul;
    },
    [](const char*, FileIdentity* identity) { return identity->known = false; },
    []() -> const char* { return nullptr; },
    [](const char*, const char*) { return false; },
    []() { return TokenTraits{UNKNOWN_INTEGRITY_LEVEL, false}; },
    [](void*) { return TokenTraits{UNKNOWN_INTEGRITY_LEVEL, false}; },
    [](unsigned long, int, unsigned long) -> void* { return nullptr; },
    [](void*, char*, unsigned long) { return false; },
    [](void*) { return 0; },
    [](const char*, const char*) {
      unexpected("startProgram");
      return PROGRAM_NOT_STARTED;
    },
    [](WindowHandle, WindowHandle, const char*, const char*) -> WindowHandle { return nullptr; },
    [](WindowHandle, unsigned long* process) { return *process = 0; },
    [](WindowHandle, LinkMessageCode, const void*, uint32_t, LinkIdentifier, uint32_t*) {
      unexpected("sendLinkMessage");
      return false;
    },
    [](const char*) { unexpected("showWarning"); },
    [](ModuleHandle, char*, size_t) { unexpected("askForCommand"); },
    [](bool, int*) { return false; },
    [](unsigned long ms) { return now += ms; },
    [](int) { unexpected("postQuitMessage"); },
    [](const char*) -> ModuleHandle { return nullptr; },
};

SystemCalls systemCalls = EMPTY_MACHINE;

void SystemCallsTest::SetUp() { systemCalls = EMPTY_MACHINE; }

void SystemCallsTest::TearDown() {
  systemCalls = EMPTY_MACHINE;
  setLaunchCommand("");
  forgetClient();
  findLinkWindow();  // none on an empty machine
}
