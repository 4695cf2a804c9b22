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

// Adds the sessions of one `session` line given as its words after the
// directive's name (start time default `clock`). False with the message on a
// bad line; the model is then unchanged.
bool addSessions(Model &model, std::uint64_t clock, const std::string &words, std::string &error);
// Changes a session by KEY=VALUE words (status, phase, copied, mode, ...).
bool changeSession(Session &session, const std::string &words, std::string &error);
// Changes an array by KEY=VALUE words (rate, writerate, reservetime, pool, ...).
bool changeArray(Array &array, const std::string &words, std::string &error);

}  // namespace zrksim
