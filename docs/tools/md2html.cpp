// Build tool: md2html INPUT.md OUTPUT.html writes the page for the manual.
#include <fstream>
#include <iostream>
#include <sstream>

#include "Markdown.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: md2html INPUT.md OUTPUT.html\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "md2html: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << vexal::docs::htmlPage(text.str());
    out.close();
    if (!out) {
        std::cerr << "md2html: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
