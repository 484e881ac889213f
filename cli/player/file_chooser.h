// The desktop's file chooser for `play` (O): zenity or kdialog, whichever is installed (neither is a dependency),
// run as a program of its own beside the player's window, which goes on drawing while it is open.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

struct FileChooser {
  pid_t pid = -1;
  int output = -1;   // the chooser's standard output: the chosen paths, one a line
  std::string read;  // what it has written so far
};

// The chooser program found on PATH ("zenity" or "kdialog"), or "" when there is none.
std::string FileChooserProgram();
// Opens the chooser; false, with the reason, when none is installed or it cannot start.
bool StartFileChooser(FileChooser& chooser, std::string& error);
// Whether the chooser has closed (its choice in `files`, none when cancelled); never waits.
bool FileChooserClosed(FileChooser& chooser, std::vector<std::string>& files);
// Closes a chooser still open (the player quits).
void StopFileChooser(FileChooser& chooser);
// The paths in a chooser's output, one a line.
std::vector<std::string> ChosenPaths(const std::string& output);
