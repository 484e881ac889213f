// Help pages laid out for people reading them in a terminal, and for the man page made from them.
#include "help_formatter.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

// Descriptions start here at the latest; a longer option name puts its description on the next line.
constexpr std::size_t kLongestNameColumn = 28;

// "-o, --output OUT", "--start TIME", "AUDIO".
std::string OptionName(const CLI::Option* option) {
  if (!option->nonpositional()) return option->get_name(true, false);
  std::string name;
  for (const std::string& s : option->get_snames()) name += (name.empty() ? "-" : ", -") + s;
  for (const std::string& l : option->get_lnames()) name += (name.empty() ? "--" : ", --") + l;
  // Every option that takes a value names it; flags have no text.
  if (!option->get_option_text().empty()) name += " " + option->get_option_text();
  return name;
}

bool Shown(const CLI::App* app, const CLI::Option* option) {
  return !option->get_group().empty() && option != app->get_help_ptr() && option != app->get_help_all_ptr();
}

}  // namespace

std::string WrapHelpText(const std::string& text, std::size_t indent, std::size_t width) {
  // Lines that start with a blank are laid out already (a table, a list) and kept; the others are joined into
  // paragraphs, which an empty line ends.
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line, paragraph;
  const auto fill = [&] {
    if (paragraph.empty()) return;
    std::istringstream words(paragraph);
    std::string word, current;
    while (words >> word) {
      if (!current.empty() && indent + current.size() + 1 + word.size() > width) {
        lines.push_back(current);
        current.clear();
      }
      current += (current.empty() ? "" : " ") + word;
    }
    if (!current.empty()) lines.push_back(current);
    paragraph.clear();
  };
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ' ') {
      fill();
      // A row of a table too long for the width goes on under its own second column.
      const std::size_t gap = line.find("  ", line.find_first_not_of(' '));
      const std::size_t column = gap == std::string::npos ? std::string::npos : line.find_first_not_of(' ', gap);
      if (indent + line.size() <= width || column == std::string::npos || column + 20 > width) {
        lines.push_back(line);
        continue;
      }
      const std::vector<std::string> rest = [&] {
        std::vector<std::string> wrapped;
        std::istringstream split(WrapHelpText(line.substr(column), column, width - indent));
        for (std::string part; std::getline(split, part);) wrapped.push_back(part);
        return wrapped;
      }();
      for (std::size_t i = 0; i < rest.size(); ++i)
        lines.push_back(i == 0 ? line.substr(0, column) + rest[i] : rest[i]);
    } else {
      paragraph += (paragraph.empty() ? "" : " ") + line;
    }
  }
  fill();
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n' + (lines[i].empty() ? std::string() : std::string(indent, ' '));
    out += lines[i];
  }
  return out;
}

std::string PeopleHelpFormatter::make_usage(const CLI::App* app, std::string name) const {
  const HelpPage* page = FindHelpPage(app->get_name());
  std::string out;
  if (!page) return "Usage: " + name + " [OPTIONS]\n";
  std::istringstream lines(page->usage);
  std::string line;
  for (bool first = true; std::getline(lines, line); first = false)
    out += (first ? "Usage: " : "       ") + line + '\n';
  return out;
}

std::string PeopleHelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const {
  std::ostringstream out;
  out << make_usage(app, name) << '\n' << WrapHelpText(app->get_description(), 0, kHelpWidth) << '\n';

  const std::vector<const CLI::Option*> options =
      app->get_options([app](const CLI::Option* o) { return Shown(app, o); });
  std::size_t column = 0;
  for (const CLI::Option* o : options) {
    const std::size_t length = 2 + OptionName(o).size() + 2;
    if (length <= kLongestNameColumn) column = std::max(column, length);
  }
  const std::vector<const CLI::App*> commands =
      app->get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); });
  for (const CLI::App* c : commands) column = std::max(column, 2 + c->get_name().size() + 2);

  // The groups in the order of their first option; positional arguments sit in their group like the others.
  std::vector<std::string> groups;
  for (const CLI::Option* o : options)
    if (std::find(groups.begin(), groups.end(), o->get_group()) == groups.end()) groups.push_back(o->get_group());
  if (!commands.empty()) {
    out << "\nCommands:\n";
    for (const CLI::App* c : commands) {
      std::string left = "  " + c->get_name();
      left.resize(column, ' ');
      out << left << WrapHelpText(c->get_description(), column, kHelpWidth) << '\n';
    }
  }
  for (const std::string& group : groups) {
    out << '\n' << group << ":\n";
    for (const CLI::Option* o : options) {
      if (o->get_group() != group) continue;
      std::string left = "  " + OptionName(o);
      if (left.size() + 2 > column)
        left += '\n' + std::string(column, ' ');
      else
        left.resize(column, ' ');
      out << left << WrapHelpText(o->get_description(), column, kHelpWidth) << '\n';
    }
  }
  if (const HelpPage* page = FindHelpPage(app->get_name()); page && page->examples[0] != '\0') {
    out << "\nExamples:\n";
    std::istringstream lines(page->examples);
    std::string line;
    while (std::getline(lines, line)) out << "  " << line << '\n';
  }
  const std::string footer = app->get_footer();
  if (!footer.empty()) out << '\n' << WrapHelpText(footer, 0, kHelpWidth) << '\n';
  return out.str();
}
