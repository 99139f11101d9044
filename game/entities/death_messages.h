#pragma once
#include <optional>
#include <string>

#include "game/base/session_records.h"

// The words of a death: the tombstone's caption and the line for the message feed. Names are
// absent when the player is not (or no longer) in the player table; self means the cause's
// source index is the victim's own index.
struct DeathNames {
    std::optional<std::string> victim;
    std::optional<std::string> source;
    bool self = false;
};

// "Name: " (or "<Anonymous>: ") and an entry of the cause's list chosen at random, or the
// cause's fixed text when the list is empty.
std::string death_label_text(const DeathNames& names, const DamageCause& cause);
// One line describing the death.
std::string death_message_text(const DeathNames& names, const DamageCause& cause);
