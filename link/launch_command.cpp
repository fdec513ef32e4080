#include "link/launch_command.h"

#include <string.h>

#include <string_view>

#include "include/kelvora_link.h"

// The client authors' header promises the module's launch switch and wait.
static_assert(std::string_view(CLIENT_LINK_SWITCH) == KELVORA_LINK_SWITCH, "launch switch");
static_assert(LAUNCH_WAIT_MS == KELVORA_LAUNCH_WAIT_MS, "launch wait");

bool launchCommandFromDirectory(const char* directory, char* command, size_t commandSize) {
  if (commandSize == 0) return false;
  command[0] = '\0';
  size_t length = strlen(directory);
  if (length == 0) return false;
  bool hasSeparator = directory[length - 1] == '\\';
  size_t nameLength = sizeof CLIENT_PROGRAM_NAME - 1;
  size_t total = length + (hasSeparator ? 0 : 1) + nameLength;
  if (total >= commandSize) return false;
  memcpy(command, directory, length);
  if (!hasSeparator) command[length++] = '\\';
  memcpy(command + length, CLIENT_PROGRAM_NAME, nameLength + 1);
  return true;
}

bool formatCommandLine(const char* command, bool quoted, char* commandLine,
                       size_t commandLineSize) {
  if (commandLineSize == 0) return false;
  commandLine[0] = '\0';
  size_t length = strlen(command);
  size_t quotes = quoted ? 2 : 0;
  static const char suffix[] = " " CLIENT_LINK_SWITCH;
  if (length + quotes + sizeof suffix > commandLineSize) return false;
  char* out = commandLine;
  if (quoted) *out++ = '"';
  memcpy(out, command, length);
  out += length;
  if (quoted) *out++ = '"';
  memcpy(out, suffix, sizeof suffix);
  return true;
}

bool couldBeSplitAtSpace(const char* command) {
  return command[0] != '"' && strchr(command, ' ') != nullptr;
}

bool launchWaitOver(uint32_t startMs, uint32_t nowMs) {
  return static_cast<uint32_t>(nowMs - startMs) >= LAUNCH_WAIT_MS;
}

bool keepIfTerminated(char* buffer, size_t size) {
  if (size == 0) return false;
  if (memchr(buffer, '\0', size) != nullptr) return true;
  buffer[0] = '\0';
  return false;
}
