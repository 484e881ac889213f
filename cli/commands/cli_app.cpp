// Argument parsing for `tavelmir` and dispatch to the sub-commands.
#include "cli_app.h"

#include <CLI/CLI.hpp>

#include "command_table.h"
#include "failure_box.h"
#include "help_formatter.h"
#include "media_chatter.h"
#include "palettes_command.h"
#include "printable_stream.h"
#include "settings_commands.h"
#include "usage_hints.h"
#include "version_text.h"

#ifndef TAVELMIR_DEFAULT_PLUGIN_DIR
#define TAVELMIR_DEFAULT_PLUGIN_DIR "plugin"
#endif

std::string DefaultPluginDir() { return TAVELMIR_DEFAULT_PLUGIN_DIR; }

namespace {

// ffmpeg's one-dash spellings of the part of a song; one-dash long names are not options here otherwise.
void SpellLikeFfmpeg(std::vector<std::string>& words) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "-ss") words[i] = "--start";
    if (words[i] == "-to") words[i] = "--to";
  }
}

bool IsCommand(const CLI::App& app, const std::string& name) {
  return !app.get_subcommands([&](const CLI::App* c) { return c->check_name(name); }).empty();
}

// `tavelmir help COMMAND` is `tavelmir COMMAND --help`, `tavelmir help` the program's own help; a name that is no
// command is left to the help command, which says so.
void AnswerHelpCommand(const CLI::App& app, std::vector<std::string>& words) {
  if (words.size() < 2 || words[1] != "help") return;
  if (words.size() == 2)
    words = {words[0], "--help"};
  else if (words.size() == 3 && !words[2].empty() && words[2][0] != '-' && IsCommand(app, words[2]))
    words = {words[0], words[2], "--help"};
}

// An argument render did not expect that looks like where the picture should go: the output without its -o.
std::string OutputHint(const CLI::App& render) {
  for (const std::string& word : render.remaining())
    if (!word.empty() && word[0] != '-') return "; did you mean -o " + word + "?";
  return {};
}

// The program's own help and version; the commands come from the command table.
void DescribeProgram(CLI::App& app) {
  // Sub-commands take the formatter their parent has when they are made.
  app.formatter(std::make_shared<PeopleHelpFormatter>());
  app.set_version_flag("--version", VersionText, "Show the version, the data set and the libraries in use")
      ->group("Options");
  app.set_help_flag("-h,--help", "Show this help");
  app.require_subcommand(1);
  app.footer(
      "`tavelmir help COMMAND` (or `tavelmir COMMAND --help`) shows a command's options; `man tavelmir` "
      "all of them.");
}

// The sub-command given, or null.
const CLI::App* ParsedCommand(const CLI::App& app) {
  for (const CLI::App* sub : app.get_subcommands())
    if (sub->parsed()) return sub;
  return nullptr;
}

int Usage(const CLI::App* command, const std::string& message, std::ostream& err) {
  err << "tavelmir: " << message << "\n(see `tavelmir" << (command ? " " + command->get_name() : "") << " --help`)\n";
  return 2;
}

// Usage errors: one short line and where to read more, status 2 as for other programs. Arguments that were not
// expected are named with what was most likely meant.
int ReportParseError(const CLI::App& app, const CommandLine& line, const CLI::ParseError& e, std::ostream& err) {
  const CLI::App* command = ParsedCommand(app);
  std::string message = e.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && message.find(" required ") != std::string::npos)
    message = message.substr(0, message.find(':')) + " needs a value";
  // Without a command, CLI11 says only that one is required: the words given say more.
  if (dynamic_cast<const CLI::ExtrasError*>(&e) || !command) {
    if (std::string named = UnexpectedArgumentMessage(app, command); !named.empty())
      message = std::move(named);
    else if (line.renderCommand->parsed())
      message += OutputHint(*line.renderCommand);
  }
  return Usage(command, message, err);
}

int RunParsedCommand(CommandLine& line, CommandStreams& streams) {
  // Raw frames are the plug-in's own; the palette cycling of the video look is for pictures people watch.
  line.render.look.videoLook = line.render.dumpPath.empty();
  if (line.renderCommand->parsed()) return RunRender(line.render, streams);
  // Started from the desktop's menu, nobody reads standard error: a failure is shown in a message box as well.
  if (line.playCommand->parsed())
    return RunWithFailureBox([&](CommandStreams& s) { return RunPlay(line.play, s); }, streams);
  if (line.liveCommand->parsed())
    return RunWithFailureBox([&](CommandStreams& s) { return RunLive(line.live, s); }, streams);
  if (line.palettesCommand->parsed()) return RunPalettes(line.paletteLook, streams);
  if (line.fadeCommand->parsed()) return RunFade(line.fadeDir, streams);
  if (line.configCommand->parsed()) return RunConfig(line.configDir, line.assignments, streams);
  // `help` with a name that is no command.
  streams.err << "tavelmir: there is no command '" << line.helpTopic
              << "'; the commands are render, play, live, palettes, config, fade and help\n";
  return 2;
}

}  // namespace

int RunTavelmir(int argc, const char* const* argv, std::ostream& out, std::ostream& terminalErr, bool terminal) {
  // Every message names what people gave it: their control characters are shown, not obeyed.
  PrintableStream err(terminalErr);
  CLI::App app{
      "Ombrelo Tunnel, the music visualization, on Linux: videos of songs, a window that follows the "
      "music, and the plug-in's settings and data files. Every frame is drawn by the same engine and data "
      "set the plug-in uses.",
      "tavelmir"};
  DescribeProgram(app);
  CommandLine line;
  BuildCommandTable(app, line);

  std::vector<std::string> words(argv, argv + argc);
  SpellLikeFfmpeg(words);
  AnswerHelpCommand(app, words);
  std::vector<const char*> args;
  for (const std::string& w : words) args.push_back(w.c_str());
  try {
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, out, err);
    return ReportParseError(app, line, e, err);
  }
  if (const CLI::App* command = ParsedCommand(app))
    if (const std::string empty = EmptyValueMessage(*command); !empty.empty()) return Usage(command, empty, err);
  ShowMediaChatter(line.verbose);
  CommandStreams streams{out, err, terminal};
  return RunParsedCommand(line, streams);
}
