// The scenario file: the text that describes arrays, volumes and the host's
// view of them (format in sim/README.md).
#pragma once

#include "model.h"

#include <string>

namespace zrksim {

// Builds a model from scenario text. On failure returns false and sets error
// to "LINE: message" (LINE counted from 1).
bool parseScenario(const std::string &text, Model &model, std::string &error);

// Reads and parses a scenario file; the error then reads "FILE:LINE: message"
// or "FILE: message".
bool loadScenario(const std::string &file, Model &model, std::string &error);

}  // namespace zrksim
