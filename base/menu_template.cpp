#include "base/menu_template.h"

#include <cstdlib>
#include <sstream>
#include <utility>
#include <vector>

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// A quoted label; false when the quotes or escapes are wrong.
bool Label(const std::string& text, std::string& out) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    out.clear();
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '"') return false;
        if (text[i] == '\\') {
            if (i + 2 >= text.size()) return false;
            char escaped = text[i + 1];
            if (escaped != '"' && escaped != '\\' && escaped != 't') return false;
            out += escaped == 't' ? '\t' : escaped;
            ++i;
            continue;
        }
        out += text[i];
    }
    return true;
}

bool CommandId(const std::string& text, uint32_t& id) {
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end || v == 0 || v > 0xFFFF || text[0] == '-' || text[0] == '+')
        return false;
    id = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

int mtxParseMenuTemplate(const std::string& text, mtxOs::Menu& menu, std::string& error) {
    menu = {};
    std::vector<std::vector<mtxOs::MenuItem>*> open{&menu.items};
    std::istringstream in(text);
    std::string raw;
    bool first = true;
    for (int number = 1; std::getline(in, raw); ++number) {
        std::string line = Trim(raw);
        auto fail = [&](const std::string& what) {
            error = "menu line " + std::to_string(number) + ": " + what;
            menu = {};
            return 0;
        };
        if (line.empty() || line[0] == '#') continue;
        size_t space = line.find_first_of(" \t");
        std::string word = line.substr(0, space);
        std::string rest = space == std::string::npos ? "" : Trim(line.substr(space));
        bool wasFirst = std::exchange(first, false);
        if (word == "MENU") {
            uint32_t id = 0;
            if (!wasFirst || !CommandId(rest, id))
                return fail("MENU only starts the text, with an id");
        } else if (word == "POPUP") {
            mtxOs::MenuItem item;
            item.popup = true;
            if (!Label(rest, item.label)) return fail("POPUP needs a label in double quotes");
            open.back()->push_back(item);
            open.push_back(&open.back()->back().items);
        } else if (word == "ITEM") {
            mtxOs::MenuItem item;
            size_t cut = rest.find_first_of(" \t");
            if (cut == std::string::npos || !CommandId(rest.substr(0, cut), item.id))
                return fail("ITEM needs a command id from 1 to 65535");
            if (!Label(Trim(rest.substr(cut)), item.label))
                return fail("ITEM needs a label in double quotes");
            open.back()->push_back(item);
        } else if (word == "SEPARATOR") {
            if (!rest.empty()) return fail("SEPARATOR takes nothing after it");
            mtxOs::MenuItem item;
            item.separator = true;
            open.back()->push_back(item);
        } else if (word == "END") {
            if (open.size() < 2) return fail("END without POPUP");
            if (!rest.empty()) return fail("END takes nothing after it");
            open.pop_back();
        } else {
            return fail("unknown word '" + word + "'");
        }
    }
    if (open.size() != 1) {
        error = "menu: POPUP without END";
        menu = {};
        return 0;
    }
    return 1;
}
