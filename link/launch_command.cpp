#include "link/launch_command.h"

#include <string.h>

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

bool hasFolder(const char* name) {
  for (; *name != '\0'; ++name)
    if (*name == '\\' || *name == '/' || *name == ':') return true;
  return false;
}

bool isAbsolutePath(const char* name) {
  bool separator0 = name[0] == '\\' || name[0] == '/';
  bool separator2 = name[0] != '\0' && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
  return separator2 || (separator0 && (name[1] == '\\' || name[1] == '/'));
}

bool findLaunchProgram(const char* command, ProgramResolver resolve, char* program,
                       size_t programSize, bool* whole) {
  bool quoted = command[0] == '"';
  const char* start = command + quoted;
  // A quoted program is only what the quotes hold; an unclosed quote names no program.
  const char* end = quoted ? strchr(start, '"') : start + strlen(start);
  *whole = false;
  char candidate[160];
  if (end == nullptr || programSize == 0) return false;
  size_t length = static_cast<size_t>(end - start);
  if (length >= sizeof candidate) return false;
  memcpy(candidate, start, length);
  *whole = !quoted;
  // The whole command, then each shorter prefix that ends before a space, longest first.
  while (length != 0) {
    candidate[length] = '\0';
    if (resolve(candidate, !quoted && !*whole, program, programSize)) return true;
    if (quoted) break;
    *whole = false;
    while (length != 0 && start[--length] != ' ') {
    }
  }
  program[0] = '\0';
  return false;
}
