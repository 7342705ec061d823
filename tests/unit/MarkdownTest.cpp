// The manual's Markdown subset, turned into HTML by the build's converter.
#include <gtest/gtest.h>

#include <string>

#include "../../docs/tools/Markdown.h"

using vexal::docs::htmlPage;
using vexal::docs::markdownToHtml;

TEST(Markdown, BlocksAndInlines) {
    struct Case {
        const char* markdown;
        const char* html;
    } const cases[] = {
        {"# Title\n", "<h1>Title</h1>\n"},
        {"### Three ###x\n", "<h3>Three ###x</h3>\n"},
        {"one\ntwo\n\nthree\n", "<p>one two</p>\n<p>three</p>\n"},
        {"- a\n- b\n  more\n\n1. x\n2. y\n",
         "<ul>\n<li>a</li>\n<li>b more</li>\n</ul>\n<ol>\n<li>x</li>\n<li>y</li>\n</ol>\n"},
        {"text\n- item\n", "<p>text</p>\n<ul>\n<li>item</li>\n</ul>\n"},
        {"| a | b |\n|---|:-:|\n| 1 | `x` \\| z |\n",
         "<table>\n<thead><tr><th>a</th><th>b</th></tr></thead>\n<tbody>\n"
         "<tr><td>1</td><td><code>x</code> | z</td></tr>\n</tbody>\n</table>\n"},
        {"```\na < b && c\n```\n", "<pre><code>a &lt; b &amp;&amp; c\n</code></pre>\n"},
        {"![The window](editor.png)\n", "<p><img src=\"editor.png\" alt=\"The window\"></p>\n"},
        {"**bold** and *it* and [link](a.html) and `<code>`\n",
         "<p><strong>bold</strong> and <em>it</em> and <a href=\"a.html\">link</a> and "
         "<code>&lt;code&gt;</code></p>\n"},
        {"2 * 3 * 4 and snake_case_name \"q\"\n", "<p>2 * 3 * 4 and snake_case_name &quot;q&quot;</p>\n"},
        {"unclosed **bold and [link(\n", "<p>unclosed **bold and [link(</p>\n"},
        {"windows\r\nlines\r\n", "<p>windows lines</p>\n"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(markdownToHtml(c.markdown), c.html) << c.markdown;
}

TEST(Markdown, PageTakesItsTitleFromTheFirstHeading) {
    const std::string page = htmlPage("intro\n\n# User <Manual>\n\ntext\n");
    EXPECT_NE(page.find("<title>User &lt;Manual&gt;</title>"), std::string::npos);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("<body>\n<p>intro</p>\n<h1>User &lt;Manual&gt;</h1>\n<p>text</p>\n</body>"),
              std::string::npos);
}
