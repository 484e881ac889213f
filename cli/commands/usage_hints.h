// What a usage error adds for the person who made it: the command or option they most likely meant, and values
// given empty.
#pragma once
#include <string>
#include <vector>

namespace CLI {
class App;
}

// The candidate nearest `word` by edits (insertions, deletions, substitutions, swaps of neighbours), when it is
// near enough to be a slip of the keyboard rather than another word; "" otherwise.
std::string ClosestName(const std::string& word, const std::vector<std::string>& candidates);

// For arguments a command did not expect: an option that does not exist named with the nearest one ("unknown
// option '--sze'; did you mean --size?"), a word that is no command with the nearest command. "" when the
// arguments are none of these.
std::string UnexpectedArgumentMessage(const CLI::App& app, const CLI::App* command);

// The first option or argument of `command` given as an empty string, as a usage message; "" when there is none.
std::string EmptyValueMessage(const CLI::App& command);
