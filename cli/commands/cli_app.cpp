// Argument parsing for `tavelmir` and dispatch to the sub-commands.
#include "cli_app.h"

#include <CLI/CLI.hpp>

#include "command_table.h"
#include "failure_box.h"
#include "help_formatter.h"
#include "palettes_command.h"
#include "settings_commands.h"
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

// Usage errors: one short line and where to read more, status 2 as for other programs.
int ReportParseError(const CLI::App& app, const CommandLine& line, const CLI::ParseError& e, std::ostream& err) {
  std::string command;
  for (const CLI::App* sub : app.get_subcommands())
    if (sub->parsed()) command = " " + sub->get_name();
  std::string hint;
  if (line.renderCommand->parsed() && dynamic_cast<const CLI::ExtrasError*>(&e)) hint = OutputHint(*line.renderCommand);
  err << "tavelmir: " << e.what() << hint << "\n(see `tavelmir" << command << " --help`)\n";
  return 2;
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

int RunTavelmir(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
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
  CommandStreams streams{out, err, terminal};
  return RunParsedCommand(line, streams);
}
