// The small Markdown subset the user manual is written in, turned into one
// HTML page: ATX headings, paragraphs, unordered and ordered lists (one
// level), pipe tables, fenced code blocks, and inline code, bold, italics,
// links and images. Anything else is taken as plain text (escaped).
#pragma once

#include <string>

namespace vexal::docs {

// The HTML body for the Markdown text.
std::string markdownToHtml(const std::string& markdown);

// A complete page: the title (from the first heading) and a small style sheet.
std::string htmlPage(const std::string& markdown);

}  // namespace vexal::docs
