#pragma once
#include <string>

#include "engine/ui/label.h"

class QGGame;
class QCGamePlay;

// The text panel in the top-right corner of the gameplay screen that lists what the local
// player carries: one line per slot with its key, the item's name, its count where the item
// has one, and a mark on the selected slot. While a match runs it follows the inventory every
// frame and sizes itself to the text; otherwise it keeps what it showed last.
class QCInventory : public CLabel {
public:
    QCInventory(QCGamePlay* screen, QGGame* client_game);

    void update(float dt) override;

    // The line of one slot: "3. Bazooka (4) [X]" and a line break. Unknown entities give
    // "<Invalid entry>".
    static std::string slot_line(QGGame& game, unsigned int slot, unsigned int entity_id, bool selected);

    QGGame* client_game = nullptr;
};
