#pragma once
// Captions that do not fit their boxes: every label (buttons and check boxes are labels) in a
// widget tree, measured with its own font, line by line, against its text box less its frame.
#include <sstream>
#include <string>
#include <vector>

#include "engine/gfx/font.h"
#include "engine/ui/label.h"

namespace test_support {

inline void collect_cut_captions(CSprite* sprite, std::vector<std::string>& cut) {
    if (auto* label = dynamic_cast<CLabel*>(sprite)) {
        CFont* font = label->get_font();
        const TextBox box = label->get_text_box();
        std::istringstream lines(label->get_text());
        std::string line;
        while (font && std::getline(lines, line)) {
            const ivec2d size = font->get_text_size(line);
            // A pixel to spare on each side, inside a frame's border. Single marks (arrows,
            // separators) sit in boxes cut to their size.
            const float room = box.width - 2.0f * float(label->get_border_x()) - 2.0f;
            if (line.size() > 1 && (float(size.x) > room || float(size.y) > box.height))
                cut.push_back("\"" + line + "\" " + std::to_string(size.x) + "x" + std::to_string(size.y) + " in " +
                              std::to_string(int(box.width)) + "x" + std::to_string(int(box.height)));
            if (!label->is_multiline()) break;
        }
    }
    if (auto* container = dynamic_cast<CSpriteManager*>(sprite)) {
        for (int i = 0; i < container->get_child_count(); ++i)
            if (CSprite* child = container->get_child(i)) collect_cut_captions(child, cut);
    }
}

inline std::vector<std::string> cut_captions(CSprite* root) {
    std::vector<std::string> cut;
    collect_cut_captions(root, cut);
    return cut;
}

}  // namespace test_support
