// The ride script reader: strict, so that a typing mistake stops the run with its line number
// instead of riding something else.
#include "sim/script.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char *const NAMES[INPUT_COUNT] = {"throttle", "clutch", "front_brake", "rear_brake", "steer",
                                         "lean", "dab", "back_up", "shift"};

int fail(std::string *error, int line, const char *what, const std::string &word = "") {
    char text[256];
    if (word.empty()) snprintf(text, sizeof text, "line %d: %s", line, what);
    else snprintf(text, sizeof text, "line %d: %s '%.60s'", line, what, word.c_str());
    *error = text;
    return 0;
}

// A whole word as a finite number.
int parse_number(const std::string &word, double *out) {
    if (word.empty()) return 0;
    errno = 0;
    char *end = nullptr;
    double v = strtod(word.c_str(), &end);
    if (errno || end != word.c_str() + word.size() || !std::isfinite(v)) return 0;
    *out = v;
    return 1;
}

std::vector<std::string> split_words(const std::string &line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) i++;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') i++;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

}  // namespace

const char *script_input_name(int input) {
    return input >= 0 && input < INPUT_COUNT ? NAMES[input] : nullptr;
}

int ride_script_parse(const char *text, size_t length, RideScript *script, std::string *error) {
    script->lines.clear();
    script->end_seconds = -1;
    double last = 0;
    int line_number = 0;
    size_t pos = 0;
    while (pos < length) {
        size_t eol = pos;
        while (eol < length && text[eol] != '\n') eol++;
        std::string line(text + pos, eol - pos);
        pos = eol + 1;
        line_number++;
        if (line.find('\0') != std::string::npos) return fail(error, line_number, "holds a zero byte");
        std::vector<std::string> words = split_words(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (script->end_seconds >= 0) return fail(error, line_number, "text after the end line");
        double seconds;
        if (!parse_number(words[0], &seconds) || seconds < 0)
            return fail(error, line_number, "bad time", words[0]);
        if (seconds > SCRIPT_MAX_SECONDS) return fail(error, line_number, "time beyond 3600 s", words[0]);
        if (seconds < last) return fail(error, line_number, "time goes backwards", words[0]);
        last = seconds;
        if (words.size() == 2 && words[1] == "end") {
            script->end_seconds = seconds;
            continue;
        }
        if (words.size() < 2) return fail(error, line_number, "nothing to set");
        ScriptLine entry{seconds, line_number, {}};
        for (size_t w = 1; w < words.size(); w++) {
            const std::string &word = words[w];
            size_t eq = word.find('=');
            if (eq == std::string::npos) return fail(error, line_number, "expected NAME=VALUE, got", word);
            std::string name = word.substr(0, eq);
            int input = -1;
            for (int i = 0; i < INPUT_COUNT; i++)
                if (name == NAMES[i]) input = i;
            if (input < 0) return fail(error, line_number, "unknown control", name);
            double value;
            if (!parse_number(word.substr(eq + 1), &value)) return fail(error, line_number, "bad value", word);
            double lo = input == INPUT_STEER || input == INPUT_LEAN || input == INPUT_SHIFT ? -1 : 0;
            if (value < lo || value > 1) return fail(error, line_number, "value out of range", word);
            if (input == INPUT_SHIFT && value != 1 && value != -1)
                return fail(error, line_number, "shift is +1 or -1, got", word);
            entry.settings.push_back(ScriptSetting{input, (float)value});
        }
        script->lines.push_back(entry);
    }
    if (script->end_seconds < 0) return fail(error, line_number + 1, "missing end line");
    return 1;
}
