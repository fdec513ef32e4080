#include "tools/picturecheck/client_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "include/kelvora_link.h"
#include "tools/linkmon/linkmon_json.h"

namespace {

std::map<unsigned long, LentWindow> sampleClientWindows(const std::string& log) {
  std::map<unsigned long, LentWindow> lent;
  std::map<unsigned, std::string> names;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    unsigned id;
    unsigned long window, child, parent;
    int visible, w, h, lw, lh, shown, left;
    char event[16];
    size_t server = line.find(" server="), stream = line.find(" stream=");
    if (sscanf(line.c_str(), "new id=%u", &id) == 1 && server != std::string::npos && stream > server) {
      names[id] = stream + 8 < line.size() ? line.substr(stream + 8) : line.substr(server + 8, stream - server - 8);
    } else if (sscanf(line.c_str(), "%15s id=%u lent=%lx child=%lx parent=%lx visible=%d size=%dx%d lent-size=%dx%d lent-visible=%d",
                      event, &id, &window, &child, &parent, &visible, &w, &h, &lw, &lh, &shown) == 11) {
      if (child == 0) continue;
      LentWindow& l = lent[window];
      l.left = false;  // lent again after it was left: a window handle can come back
      l.id = id;
      l.name = names[id];
      if (lw <= 0) continue;  // not placed yet, or already gone
      l.last = line;
      l.inside = parent == window && visible == 1 && w == lw && h == lh;
      l.shown = shown == 1;
    } else if (sscanf(line.c_str(), "leave id=%u lent=%lx child-left=%d", &id, &window, &left) == 3) {
      lent[window].left = left == 1;
    } else if (sscanf(line.c_str(), "drew id=%u lent=%lx size=%dx%d", &id, &window, &w, &h) == 4 && w > 0 && h > 0) {
      lent[window].drew = true;
    }
  }
  return lent;
}

// The object's name from LINKMSG_NEW, its window from LINKMSG_SET_WINDOW.
std::map<unsigned long, LentWindow> linkmonWindows(const std::string& log) {
  std::map<unsigned long, LentWindow> lent;
  std::map<unsigned long, std::string> names;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (!parseLinkmonJson(line, &fields)) continue;
    unsigned long code = 0, linkId = 0, reply = 0;
    std::string data;
    for (const auto& f : fields) {
      if (f.first == "code") code = strtoul(f.second.c_str(), nullptr, 10);
      if (f.first == "linkId") linkId = strtoul(f.second.c_str(), nullptr, 10);
      if (f.first == "reply") reply = strtoul(f.second.c_str(), nullptr, 10);
      if (f.first == "data")
        for (size_t i = 0; i + 1 < f.second.size(); i += 2)
          data += static_cast<char>(strtoul(f.second.substr(i, 2).c_str(), nullptr, 16));
    }
    if (code == LINKMSG_NEW && data.size() == sizeof(LinkRecord)) {
      LinkRecord r;
      memcpy(&r, data.data(), sizeof r);
      r.streamName[sizeof r.streamName - 1] = r.server[sizeof r.server - 1] = 0;
      names[LINK_REPLY_IDENTIFIER(reply)] = r.streamName[0] ? r.streamName : r.server;
    } else if (code == LINKMSG_SET_WINDOW && data.size() == sizeof(WindowRecord)) {
      WindowRecord w;
      memcpy(&w, data.data(), sizeof w);
      if (w.window == 0) continue;
      LentWindow& l = lent[w.window];
      l.id = static_cast<unsigned>(linkId);
      l.name = names[linkId];
    }
  }
  return lent;
}

}  // namespace

std::map<unsigned long, LentWindow> lentWindows(const std::string& log) {
  return log.compare(0, 1, "{") == 0 ? linkmonWindows(log) : sampleClientWindows(log);
}
