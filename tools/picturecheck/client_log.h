// What a client's log tells of the windows lent to it: the sample client's (examples/client,
// KELVORA_SAMPLE_LOG) or linkmon's (--log). Portable.
#pragma once

#include <map>
#include <string>

struct LentWindow {
  unsigned id = 0;    // the object's link identifier
  std::string name;   // what the client draws there: the stream's name, else the server's
  bool inside = false;  // the client's child sat inside it, visible, at its size, when last told
  bool shown = false;   // the browser showed it then
  bool left = false;    // the client's child has left it
  bool drew = false;    // the client drew in it
  std::string last;     // the last line that told where the child sat
};

// By the window's handle, from the log's whole text. linkmon draws nothing and places no
// child: its log tells only each window's object.
std::map<unsigned long, LentWindow> lentWindows(const std::string& log);
