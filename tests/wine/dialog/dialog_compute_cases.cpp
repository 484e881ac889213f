// "C&ompute table": the fade table file, the progress bar, and the failure message.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "../host/host_log.h"
#include "dialog_cases.h"
#include "dialog_fixtures.h"
#include "dialog_session.h"

namespace {

// The bar shows colour c for every c whose c + 1 has bit 3 set, then goes back to 0.
std::vector<int> ExpectedProgress() {
  std::vector<int> positions;
  for (int c = 0; c < 256; ++c) {
    if (((c + 1) & 8) != 0) positions.push_back(c);
  }
  positions.push_back(0);
  return positions;
}

void CheckProgress(const std::vector<int>& seen) {
  const std::vector<int> expected = ExpectedProgress();
  CHECK_EQ_INT(seen.size(), expected.size());
  for (std::size_t i = 0; i < seen.size() && i < expected.size(); ++i) {
    if (seen[i] != expected[i]) {
      Fail("progress position %d is %d, expected %d", static_cast<int>(i), seen[i], expected[i]);
      break;
    }
  }
}

// The table is built from the sliders as they stand; the folder stays for the comparison with the native
// build, which computes from the "plugin.ini" that OK leaves.
void ComputeUsesSliders(const CaseContext& context) {
  LogScope scope("compute");
  const std::string folder = MakeCaseFolder(context.root, "compute", context.dll);
  WriteReferencePalette(folder);
  WriteSettingsFile(
      folder, {{"FadeOffset", "30"}, {"FadeAmplitude", "140"}, {"FadePower", "200"}, {"WaveAttenuationRate", "3"}});
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  SendDlgItemMessageA(session.dialog, ids::kFadeOffset, TBM_SETPOS, TRUE, 45);
  SendDlgItemMessageA(session.dialog, ids::kAttenuation, TBM_SETPOS, TRUE, 7);
  TakeProgressPositions();
  ClickNow(session, ids::kCompute);
  CHECK_EQ_INT(TakeCaughtBoxes().size(), 0);
  CHECK_EQ_INT(FileLength(folder + "\\TavelDat\\fade.dat"), 65536);
  CHECK_EQ_INT(SendDlgItemMessageA(session.dialog, ids::kProgress, PBM_GETPOS, 0, 0), 0);
  CheckProgress(TakeProgressPositions());
  CHECK_TRUE(IsWindowVisible(session.dialog));
  // Compute stores nothing by itself.
  CHECK_EQ_STR(StoredSetting(folder, "FadeOffset"), "30");
  ClickNow(session, IDOK);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on OK");
  CHECK_EQ_STR(StoredSetting(folder, "FadeOffset"), "45");
  CHECK_EQ_STR(StoredSetting(folder, "WaveAttenuationRate"), "7");
  EndSession(session);
}

// Without a reference palette the build fails: one error box owned by the dialog, no file, the dialog stays.
void ComputeWithoutPaletteFails(const CaseContext& context) {
  LogScope scope("compute without palette");
  const std::string folder = MakeCaseFolder(context.root, "compute-no-palette", context.dll);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  TakeProgressPositions();
  ClickNow(session, ids::kCompute);
  const std::vector<CaughtBox> boxes = TakeCaughtBoxes();
  CHECK_EQ_INT(boxes.size(), 1);
  if (boxes.size() == 1) {
    CHECK_EQ_STR(boxes[0].text, "Error building the fade table");
    CHECK_EQ_STR(boxes[0].caption, "Fade-Table Error");
    CHECK_TRUE(boxes[0].errorIcon);
    CHECK_TRUE(boxes[0].onlyOkButton);
    CHECK_TRUE(boxes[0].owner == session.dialog);
  }
  CHECK_EQ_INT(TakeProgressPositions().size(), 0);
  CHECK_TRUE(!FileExists(folder + "\\TavelDat\\fade.dat"));
  CHECK_TRUE(IsWindowVisible(session.dialog));
  ClickNow(session, IDCANCEL);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on Cancel");
  CHECK_TRUE(!FileExists(folder + "\\plugin.ini"));
  EndSession(session);
}

// A table computed and then cancelled stays on disk; the fade settings go back to what the file holds.
void ComputeThenCancelKeepsTable(const CaseContext& context) {
  LogScope scope("compute then cancel");
  const std::string folder = MakeCaseFolder(context.root, "compute-cancel", context.dll);
  WriteReferencePalette(folder);
  WriteSettingsFile(folder, {{"FadeOffset", "20"}});
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  SendDlgItemMessageA(session.dialog, ids::kFadeOffset, TBM_SETPOS, TRUE, 90);
  ClickNow(session, ids::kCompute);
  ClickNow(session, IDCANCEL);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on Cancel");
  CHECK_EQ_INT(FileLength(folder + "\\TavelDat\\fade.dat"), 65536);
  CHECK_EQ_STR(StoredSetting(folder, "FadeOffset"), "20");
  CHECK_EQ_STR(StoredSetting(folder, "FadePower"), "<missing>");
  if (OpenSettings(session)) {
    CHECK_EQ_INT(SliderPos(session, ids::kFadeOffset), 20);
    ClickNow(session, IDCANCEL);
    if (!WaitForConfigEnd(session)) Fail("the dialog did not end on Cancel");
  }
  EndSession(session);
}

}  // namespace

void RunComputeCases(const CaseContext& context) {
  ComputeUsesSliders(context);
  ComputeWithoutPaletteFails(context);
  ComputeThenCancelKeepsTable(context);
}
