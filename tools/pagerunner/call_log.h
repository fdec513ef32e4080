// How pagerunner writes the calls it makes: one readable line per call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagerunner/html_embeds.h"

// `text` in double quotes; '"' and '\' escaped, control bytes and bytes from 0x7F up as \xHH.
std::string quotedText(const std::string& text);

// {name="value", ...} in the given order.
std::string attributeList(const std::vector<HtmlAttribute>& attributes);

// "0 (NPERR_NO_ERROR)", "5 (NPERR_OUT_OF_MEMORY_ERROR)", "-3 (unknown)".
std::string npErrorText(int32_t error);

// Names of NPReason and stream type values.
const char* npReasonName(int32_t reason);
const char* streamTypeName(uint32_t type);
