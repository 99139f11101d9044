#include "game/entities/death_messages.h"

#include <vector>

#include "engine/core/random.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"

namespace {

const std::string kAnonymous = "<Anonymous>";
const std::string kMurder = "Somebody, somewhere committed a murder right now.";

const WeaponDefinition* weapon_of(const DamageCause& cause) {
    return cause.weapon_definition < weapon_definition_count() ? &weapon_definition(cause.weapon_definition) : nullptr;
}

std::string pick(const std::vector<std::string>* list, const char* fixed) {
    if (!list || list->empty()) return fixed;
    return (*list)[size_t(random_below(int(list->size())))];
}

// The line when both, only one or neither of victim and source are known.
std::string by_names(const DeathNames& n, const std::string& both, const std::string& victim_only,
                     const std::string& source_only, const std::string& neither) {
    if (n.victim && n.source) return both;
    if (n.victim) return victim_only;
    if (n.source) return source_only;
    return neither;
}

}  // namespace

std::string death_label_text(const DeathNames& names, const DamageCause& cause) {
    std::string text = (names.victim ? *names.victim : kAnonymous) + ": ";
    switch (cause.type) {
    case DamageType::Fall: return text + pick(&falling_messages, "Fell to his death");
    case DamageType::Drowning: return text + pick(&drowning_messages, "Drowned");
    case DamageType::Impact: return text + pick(&impact_messages, "Splattered");
    case DamageType::Weapon:
        if (names.self) return text + pick(&suicide_messages, "Committed suicide");
        if (const WeaponDefinition* weapon = weapon_of(cause)) return text + pick(&weapon->death_messages, "Killed");
        return text + "Killed";
    case DamageType::Sweetroll: return text + pick(&sweetroll_messages, "Sweetened");
    case DamageType::Environment:
        return text + pick(&environment_messages, "Found the environment to be quite hostile");
    default: return text + "Deceased";
    }
}

std::string death_message_text(const DeathNames& n, const DamageCause& cause) {
    const std::string v = n.victim.value_or("");
    const std::string s = n.source.value_or("");
    switch (cause.type) {
    case DamageType::Fall: return n.victim ? v + " jumped off a cliff." : "Somebody left a hole in the ground.";
    case DamageType::Drowning:
        return n.victim ? v + " was sent to a watery grave." : "An unknown body was found floating in the water.";
    case DamageType::Impact:
        if (n.self) return (n.victim ? v : "Somebody") + " hit a wall a bit too fast.";
        return by_names(n, s + " didn't see " + v + "'s shot coming.", v + " was hit by an unidentified object.",
                        s + " hit somebody, apparently.", kMurder);
    case DamageType::Weapon: {
        if (n.self)
            return n.victim ? v + " committed suicide."
                            : "Somebody shot his own face off. The body couldn't be identified.";
        const WeaponDefinition* weapon = weapon_of(cause);
        const std::string m = weapon ? " [" + weapon->name + "] " : " killed ";
        return by_names(n, s + m + v, kAnonymous + m + v, s + m + kAnonymous, kMurder);
    }
    case DamageType::Sweetroll:
        if (n.self)
            return n.victim ? v + " died from an overdose of sweetness."
                            : "Yet another victim of the recent kitten craze.";
        return by_names(n, v + " met " + s + "'s weaponized kitten.", v + " was killed by a ferociously cute kitten.",
                        s + "'s kitten is on a killing spree.", "Kitten Candy!");
    case DamageType::Environment:
        return n.victim ? v + " was obliterated by the environment." : "Somebody was obliterated by the environment.";
    default: return "Something died, apparently... we're not quite sure what or who or how.";
    }
}
