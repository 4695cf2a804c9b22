// The words of an array command text and the array's reply format, shared
// by the action commands (cli.cpp) and the show commands (cli_show.cpp).
#pragma once

#include "cli.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace zrksim::clitext {


struct CliError : std::runtime_error {
    CliError(std::uint32_t code, const std::string &text) : std::runtime_error(text), uiCode(code) {}
    std::uint32_t uiCode;
};

[[noreturn]] inline void syntax(const std::string &text) { throw CliError(cli_error::kSyntax, text); }

inline std::string hexNumber(std::uint64_t value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(value));
    return buf;
}

inline std::string failure(std::uint32_t code, const std::string &text) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", code);
    return "01\n" + std::string(buf) + "\n" + text + "\n";
}

// The words of a command text: blanks separate them, "..." quotes one (the
// quotes removed; an empty quoted word stays a word).
inline std::vector<std::string> splitWords(const std::string &text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        while (i < text.size() && text[i] != ' ') {
            if (text[i] == '"') {
                std::size_t end = text.find('"', i + 1);
                if (end == std::string::npos) syntax("unterminated quote");
                word += text.substr(i + 1, end - i - 1);
                i = end + 1;
            } else {
                word += text[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}

// Options without a value.
inline bool flagOption(const std::string &name) { return name == "-force"; }

// The numbers of a ","-joined decimal list into *out; false when an item
// is empty, not plain decimal, or outside [min, max].
inline bool decimalList(const std::string &text, std::uint64_t min, std::uint64_t max,
                        std::vector<std::uint64_t> *out) {
    std::size_t from = 0;
    for (;;) {
        std::size_t comma = text.find(',', from);
        std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        std::uint64_t value = 0;
        auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), value, 10);
        if (item.empty() || ec != std::errc() || ptr != item.data() + item.size() || value < min || value > max)
            return false;
        out->push_back(value);
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

struct Command {
    std::string verb;                                  // "start copy-vz"
    std::multimap<std::string, std::string> options;   // "-size" -> "2048"

    bool has(const std::string &name) const { return options.count(name) != 0; }
    bool has(const std::string &name, const std::string &value) const {
        auto [b, e] = options.equal_range(name);
        return std::any_of(b, e, [&](const auto &kv) { return kv.second == value; });
    }
    const std::string *get(const std::string &name) const {
        auto it = options.find(name);
        return it == options.end() ? nullptr : &it->second;
    }
    std::uint64_t number(const std::string &name, std::uint64_t max, std::uint64_t fallback) const {
        const std::string *v = get(name);
        if (v == nullptr) return fallback;
        std::uint64_t value = 0;
        auto [ptr, ec] = std::from_chars(v->data(), v->data() + v->size(), value, 10);
        if (v->empty() || ec != std::errc() || ptr != v->data() + v->size() || value > max)
            syntax("bad value of " + name + ": " + *v);
        return value;
    }
    std::uint64_t required(const std::string &name, std::uint64_t max) const {
        if (!has(name)) syntax(verb + " needs " + name);
        return number(name, max, 0);
    }
    std::vector<std::uint16_t> ids(const std::string &name) const {
        const std::string *v = get(name);
        if (v == nullptr) syntax(verb + " needs " + name);
        std::vector<std::uint64_t> values;
        if (!decimalList(*v, 1, 0xFFFF, &values)) syntax("bad session identifier in " + name + ": " + *v);
        return std::vector<std::uint16_t>(values.begin(), values.end());
    }
    // Every option is one of `allowed`, each value one the option takes.
    void allow(std::initializer_list<const char *> allowed) const {
        for (const auto &[name, value] : options)
            if (std::none_of(allowed.begin(), allowed.end(), [&](const char *a) { return name == a; }))
                syntax("unknown option " + name + " of " + verb);
    }
    void values(const std::string &name, std::initializer_list<const char *> accepted) const {
        auto [b, e] = options.equal_range(name);
        for (auto it = b; it != e; ++it)
            if (std::none_of(accepted.begin(), accepted.end(), [&](const char *a) { return it->second == a; }))
                syntax("bad value of " + name + ": " + it->second);
    }
};

// A list of decimal numbers joined by "," (the option must be present).
inline std::vector<std::uint64_t> numberList(const Command &c, const std::string &name, std::uint64_t max) {
    const std::string *v = c.get(name);
    if (v == nullptr) syntax(c.verb + " needs " + name);
    std::vector<std::uint64_t> out;
    if (!decimalList(*v, 0, max, &out)) syntax("bad value of " + name + ": " + *v);
    return out;
}

inline void onlyOnce(const Command &c, std::initializer_list<const char *> names) {
    for (const char *n : names)
        if (c.options.count(n) > 1) syntax(std::string("option ") + n + " given twice");
}

// A record line of a show reply: the columns joined by TABs, then a newline.
inline std::string line(const std::vector<std::string> &columns) {
    std::string out;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i != 0) out += '\t';
        out += columns[i];
    }
    return out + "\n";
}

inline std::string line(std::initializer_list<std::string> columns) { return line(std::vector<std::string>(columns)); }

inline Command parse(const std::string &text) {
    std::vector<std::string> words = splitWords(text);
    if (words.size() < 2) syntax("unknown command");
    Command c;
    c.verb = words[0] + " " + words[1];
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string &name = words[i];
        if (name.size() < 2 || name[0] != '-') syntax("unexpected word " + name);
        if (flagOption(name)) {
            c.options.emplace(name, "");
            continue;
        }
        if (i + 1 >= words.size()) syntax("option " + name + " needs a value");
        c.options.emplace(name, words[++i]);
    }
    return c;
}

}  // namespace zrksim::clitext
