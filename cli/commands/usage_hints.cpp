// Nearest names by edit distance (optimal string alignment), over the names the command table declares.
#include "usage_hints.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace {

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

// The long and short names of a command's options, with their dashes ("--size", "-o").
std::vector<std::string> OptionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    names.push_back(sub->get_name());
  return names;
}

std::string Suggestion(const std::string& nearest) { return nearest.empty() ? "" : "; did you mean " + nearest + "?"; }

}  // namespace

std::string ClosestName(const std::string& word, const std::vector<std::string>& candidates) {
  // A third of the word may be mistyped, at least one letter and at most three.
  const std::size_t allowed = std::clamp<std::size_t>(word.size() / 3, 1, 3);
  std::string best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::string UnexpectedArgumentMessage(const CLI::App& app, const CLI::App* command) {
  const std::vector<std::string> words = command ? command->remaining() : app.remaining();
  for (const std::string& word : words) {
    if (word.size() > 1 && word[0] == '-') {
      const std::string name = word.substr(0, word.find('='));
      if (!command) return "unknown option '" + name + "' before any command";
      return "unknown option '" + name + "'" + Suggestion(ClosestName(name, OptionNames(*command)));
    }
  }
  if (!command && !words.empty())
    return "there is no command '" + words.front() + "'" + Suggestion(ClosestName(words.front(), CommandNames(app)));
  return {};
}

std::string EmptyValueMessage(const CLI::App& command) {
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_type_size() == 0) continue;  // a flag
    for (const std::string& value : option->results()) {
      if (!value.empty()) continue;
      if (option->get_positional()) return "an empty " + option->get_option_text() + " argument: it names nothing";
      const std::string name =
          option->get_lnames().empty() ? "-" + option->get_snames().front() : "--" + option->get_lnames().front();
      return name + " was given an empty value: give it one, or leave the option out";
    }
  }
  return {};
}
