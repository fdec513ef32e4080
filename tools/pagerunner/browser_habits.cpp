#include "tools/pagerunner/browser_habits.h"

#include "tools/pagerunner/browser_family.h"
#include "tools/pagerunner/pagerunner_options.h"

std::vector<NewArgument> attributesLowerCased(const HtmlStartTag& element) {
  std::vector<NewArgument> args;
  for (const HtmlAttribute& a : element.attributes) args.push_back({asciiLowerCase(a.name), a.value});
  return args;
}

void addParamsAfterSeparator(const KvlaObject& object, std::vector<NewArgument>* args) {
  if (object.params.empty()) return;
  args->push_back({"PARAM", "", true});
  for (const HtmlAttribute& p : object.params) args->push_back({p.name, p.value});
}

void addParamsNotNamedByAttributes(const KvlaObject& object, std::vector<NewArgument>* args) {
  for (const HtmlAttribute& p : object.params)
    if (!findAttribute(object.element, p.name.c_str())) args->push_back({p.name, p.value});
}

std::vector<NewArgument> paramsThenAttributes(const KvlaObject& object) {
  std::vector<NewArgument> args;
  for (const HtmlAttribute& p : object.params) args.push_back({p.name, p.value});
  for (const NewArgument& a : attributesLowerCased(object.element)) {
    bool named = false;
    for (const HtmlAttribute& p : object.params) named = named || asciiLowerCase(p.name) == a.name;
    if (!named) args.push_back(a);
  }
  return args;
}

DeliveryEnd BrowserHabits::deliver(PageCalls& page, PageObject* o, size_t size) const {
  return deliverInChunks(page, o, size, {false, 10, ChunkMemory::Writable, false});
}

DeliveryEnd deliverInChunks(PageCalls& page, PageObject* o, size_t size, const ChunkHabit& habit) {
  const PageRunnerOptions& opt = page.options();
  uint32_t refusedBudgetMs = opt.keepOpenMs > 0 ? opt.keepOpenMs : 1000;
  size_t available = opt.networkErrorAfter < size ? opt.networkErrorAfter : size;
  size_t chunk = opt.chunkBytes > 0 ? opt.chunkBytes : (size > 0 ? size : 1);
  size_t arrived = 0;  // what the network has given so far
  size_t offset = 0;
  int notReady = 0;
  uint32_t refusedSince = 0;  // when the module first took none of the bytes at `offset`
  bool refused = false;
  while (offset < available) {
    int32_t ready = page.writeReady(o);
    if (ready <= 0) {
      // Not ready: a browser tries again later; give up after a while.
      if (++notReady >= 20) {
        page.say(o, "the module stayed not ready; stream abandoned");
        return {REASON_USER_BREAK, true};
      }
      page.pumpMessages(0);
      page.sleep(10);
      continue;
    }
    notReady = 0;
    arrived = arrived + chunk < available ? arrived + chunk : available;
    size_t end = habit.chunksAlone ? (offset / chunk + 1) * chunk : arrived;
    if (end > available) end = available;
    size_t left = end - offset;
    if (!habit.chunksAlone && static_cast<size_t>(ready) < left) left = static_cast<size_t>(ready);
    int32_t len = static_cast<int32_t>(left > 0x7FFFFFFF ? 0x7FFFFFFF : left);
    if (habit.raisesEnd) page.setStreamEnd(o, static_cast<uint32_t>(arrived));
    int32_t taken = page.write(o, offset, len, habit.memory);
    if (taken < 0) return {REASON_NETWORK_ERROR, true};
    if (taken == 0 && arrived == available && available < size) break;  // nothing more comes
    if (taken == 0) {
      // Not consumed: browsers deliver the same bytes again, as long as the page is open.
      if (!refused) refusedSince = page.milliseconds();
      refused = true;
      if (page.milliseconds() - refusedSince >= refusedBudgetMs || page.pageClosed()) {
        page.say(o, "the module took none of " + std::to_string(len) + " bytes for " +
                        std::to_string(refusedBudgetMs) + " ms; the page is closed");
        return {REASON_USER_BREAK, true};
      }
      page.pumpMessages(habit.refusedAgainMs);
      continue;
    }
    refused = false;
    offset += static_cast<size_t>(taken < len ? taken : len);
  }
  if (offset == size) return {REASON_DONE, false};
  page.say(o, "the connection broke after " + std::to_string(available) + " of " +
                  std::to_string(size) + " bytes");
  return {REASON_NETWORK_ERROR, false};
}
