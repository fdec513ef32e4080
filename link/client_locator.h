// The client locator as its callers see it: configuring the launch command
// (link/client_configuration.h), finding the link window (link/link_window_finder.h) and
// starting the client application (link/client_launcher.h). Nothing in link/ includes it.
#pragma once

#include "link/client_configuration.h"
#include "link/client_launcher.h"
#include "link/link_window_finder.h"
