// The texts and captions of the plug-in's start-up failures.
#include "data/init_messages.h"

#include "core/engine.h"

InitMessage PaletteFailureMessage(int paletteStatus) {
  return {"Error loading palette (Error #" + std::to_string(paletteStatus) + ")", "PLUG-IN error", true};
}

std::vector<InitMessage> BuildFailureMessages(int buildStatus) {
  std::vector<InitMessage> messages;
  // A failed allocation is told first, without an icon.
  if (const char* text = EngineBuildAllocationText(buildStatus)) messages.push_back({text, "...", false});
  messages.push_back({"Error generating tables", "PLUG-IN Error", true});
  return messages;
}

std::string MessageLines(const std::vector<InitMessage>& messages) {
  std::string lines;
  for (const InitMessage& message : messages) {
    if (!lines.empty()) lines += '\n';
    lines += message.caption + ": " + message.text;
  }
  return lines;
}
