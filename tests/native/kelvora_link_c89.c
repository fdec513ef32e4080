/* The client authors' header as strict C89 (the module builds on it as C++): it compiles,
   its layout checks hold, and its reply helpers read replies as the plug-in does. */
#include "include/kelvora_link.h"

int main(void) {
  int wrong = 0;
  wrong += LINK_REPLY_ACCEPT(7) != 0x00070000u;
  wrong += LINK_REPLY_KIND(LINK_REPLY_ACCEPT(7)) != NEW_LINK_ACCEPTED;
  wrong += LINK_REPLY_KIND(LINK_REPLY_ACCEPT(LINK_ID_NONE)) != NEW_LINK_REFUSED;
  wrong += LINK_REPLY_KIND(LINK_REPLY_REFUSE) != NEW_LINK_REFUSED;
  wrong += LINK_REPLY_KIND(0x00050003u) != NEW_LINK_ACCEPTED_WITHOUT_ID;
  wrong += LINK_REPLY_IDENTIFIER(0xFFFE0002u) != 0xFFFE;
  return wrong;
}
