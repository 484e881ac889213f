// The layout of `tavelmir`'s help pages: usage lines, the options in their groups with plain value names
// (SECONDS, WxH, FILE), examples, then the command's notes.
#pragma once
#include <CLI/CLI.hpp>

#include <string>

// What a page holds besides the options, looked up by the command's name ("tavelmir" for the program itself).
struct HelpPage {
  const char* command;
  const char* usage;     // one usage per line, without "Usage:"
  const char* examples;  // one command per line
};
const HelpPage* FindHelpPage(const std::string& command);

// Lines are wrapped to this width; descriptions start in the column after the longest option name of a page.
constexpr std::size_t kHelpWidth = 80;

class PeopleHelpFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
  std::string make_usage(const CLI::App* app, std::string name) const override;
};

// `text` filled into lines that end by column `width` when they start at column `indent` (the first line is
// assumed to start there already, the others get `indent` blanks): lines that start with a blank are kept as they are,
// the others joined into paragraphs (an empty line ends one).
std::string WrapHelpText(const std::string& text, std::size_t indent, std::size_t width);
