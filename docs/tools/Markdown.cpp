#include "Markdown.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace vexal::docs {

namespace {

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// `[label](target)` starting at i (the '['); false when it is not one.
bool parseLink(const std::string& s, size_t i, std::string& label, std::string& target, size_t& end) {
    const size_t close = s.find("](", i);
    if (close == std::string::npos) return false;
    const size_t paren = s.find(')', close + 2);
    if (paren == std::string::npos) return false;
    label = s.substr(i + 1, close - i - 1);
    target = s.substr(close + 2, paren - close - 2);
    end = paren + 1;
    return true;
}

std::string inlineHtml(const std::string& s) {
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        std::string label, target;
        size_t end = 0;
        if (c == '`') {
            const size_t close = s.find('`', i + 1);
            if (close != std::string::npos) {
                out += "<code>" + escape(s.substr(i + 1, close - i - 1)) + "</code>";
                i = close + 1;
                continue;
            }
        } else if (c == '!' && i + 1 < s.size() && s[i + 1] == '[' && parseLink(s, i + 1, label, target, end)) {
            out += "<img src=\"" + escape(target) + "\" alt=\"" + escape(label) + "\">";
            i = end;
            continue;
        } else if (c == '[' && parseLink(s, i, label, target, end)) {
            out += "<a href=\"" + escape(target) + "\">" + inlineHtml(label) + "</a>";
            i = end;
            continue;
        } else if (c == '*' && i + 1 < s.size() && s[i + 1] == '*') {
            const size_t close = s.find("**", i + 2);
            if (close != std::string::npos) {
                out += "<strong>" + inlineHtml(s.substr(i + 2, close - i - 2)) + "</strong>";
                i = close + 2;
                continue;
            }
        } else if (c == '*' || c == '_') {
            const size_t close = s.find(c, i + 1);
            // Emphasis only around a word: "a * b" and snake_case stay text.
            const bool opens = i + 1 < s.size() && s[i + 1] != ' ' && (i == 0 || !std::isalnum(static_cast<unsigned char>(s[i - 1])));
            if (opens && close != std::string::npos && close > i + 1 && s[close - 1] != ' ') {
                out += "<em>" + inlineHtml(s.substr(i + 1, close - i - 1)) + "</em>";
                i = close + 1;
                continue;
            }
        }
        out += escape(std::string(1, c));
        ++i;
    }
    return out;
}

std::vector<std::string> tableCells(const std::string& line) {
    std::string t = trim(line);
    if (startsWith(t, "|")) t.erase(0, 1);
    if (!t.empty() && t.back() == '|') t.pop_back();
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\\' && i + 1 < t.size() && t[i + 1] == '|') {
            cell += '|';
            ++i;
        } else if (t[i] == '|') {
            cells.push_back(trim(cell));
            cell.clear();
        } else {
            cell += t[i];
        }
    }
    cells.push_back(trim(cell));
    return cells;
}

bool isTableRule(const std::string& line) {
    const std::string t = trim(line);
    return startsWith(t, "|") && t.find_first_not_of("|-: ") == std::string::npos && t.find('-') != std::string::npos;
}

// The item's text when the line starts a list item of that kind, else empty.
bool listItem(const std::string& line, bool ordered, std::string& text) {
    if (!ordered) {
        if (startsWith(line, "- ") || startsWith(line, "* ")) {
            text = trim(line.substr(2));
            return true;
        }
        return false;
    }
    size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i + 1 >= line.size() || line[i] != '.' || line[i + 1] != ' ') return false;
    text = trim(line.substr(i + 2));
    return true;
}

}  // namespace

std::string markdownToHtml(const std::string& markdown) {
    std::vector<std::string> lines;
    std::istringstream in(markdown);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    std::string out;
    size_t i = 0;
    auto blank = [&](size_t k) { return trim(lines[k]).empty(); };
    while (i < lines.size()) {
        const std::string& line = lines[i];
        std::string text;
        if (blank(i)) {
            ++i;
        } else if (startsWith(line, "```")) {
            out += "<pre><code>";
            for (++i; i < lines.size() && !startsWith(lines[i], "```"); ++i) out += escape(lines[i]) + "\n";
            out += "</code></pre>\n";
            ++i;
        } else if (line[0] == '#') {
            size_t level = line.find_first_not_of('#');
            if (level == std::string::npos) level = line.size();
            if (level > 6) level = 6;
            const std::string h = std::to_string(level);
            out += "<h" + h + ">" + inlineHtml(trim(line.substr(level))) + "</h" + h + ">\n";
            ++i;
        } else if (startsWith(trim(line), "|") && i + 1 < lines.size() && isTableRule(lines[i + 1])) {
            out += "<table>\n<thead><tr>";
            for (const std::string& cell : tableCells(line)) out += "<th>" + inlineHtml(cell) + "</th>";
            out += "</tr></thead>\n<tbody>\n";
            for (i += 2; i < lines.size() && startsWith(trim(lines[i]), "|"); ++i) {
                out += "<tr>";
                for (const std::string& cell : tableCells(lines[i])) out += "<td>" + inlineHtml(cell) + "</td>";
                out += "</tr>\n";
            }
            out += "</tbody>\n</table>\n";
        } else if (listItem(line, false, text) || listItem(line, true, text)) {
            const bool ordered = !listItem(line, false, text) && listItem(line, true, text);
            out += ordered ? "<ol>\n" : "<ul>\n";
            while (i < lines.size() && listItem(lines[i], ordered, text)) {
                // Indented lines continue the item.
                for (++i; i < lines.size() && !blank(i) && startsWith(lines[i], "  "); ++i) text += " " + trim(lines[i]);
                out += "<li>" + inlineHtml(text) + "</li>\n";
            }
            out += ordered ? "</ol>\n" : "</ul>\n";
        } else {
            std::string paragraph = trim(line);
            for (++i; i < lines.size() && !blank(i) && lines[i][0] != '#' && !startsWith(lines[i], "```") &&
                      !startsWith(trim(lines[i]), "|") && !listItem(lines[i], false, text) &&
                      !listItem(lines[i], true, text);
                 ++i)
                paragraph += " " + trim(lines[i]);
            out += "<p>" + inlineHtml(paragraph) + "</p>\n";
        }
    }
    return out;
}

std::string htmlPage(const std::string& markdown) {
    std::string title = "Manual";
    std::istringstream in(markdown);
    for (std::string line; std::getline(in, line);)
        if (startsWith(line, "# ")) {
            title = trim(line.substr(2));
            break;
        }
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + escape(title) +
           "</title>\n<style>\n"
           "body { font-family: sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em; line-height: 1.45; color: #222; }\n"
           "table { border-collapse: collapse; margin: 1em 0; }\n"
           "th, td { border: 1px solid #bbb; padding: 0.25em 0.6em; text-align: left; vertical-align: top; }\n"
           "th { background: #e6eef3; }\n"
           "code { background: #f2f2f2; padding: 0 0.2em; }\n"
           "pre { background: #f2f2f2; padding: 0.6em; overflow-x: auto; }\n"
           "img { max-width: 100%; border: 1px solid #ccc; }\n"
           "</style>\n</head>\n<body>\n" +
           markdownToHtml(markdown) + "</body>\n</html>\n";
}

}  // namespace vexal::docs
