// The test host's side of the player family's embed-window interface: the frame it hands a visualization that
// asks with IPC_GET_EMBEDIF, and the window it sends its visualization commands to after IPC_SETVISWND.
#pragma once
#include <windows.h>

#include <vector>

// The messages and the record, as the player's SDK publishes them.
constexpr UINT kPlayerIpc = WM_USER;  // WM_WA_IPC: wParam the argument, lParam the request
constexpr LPARAM kIpcGetEmbedInterface = 505;
constexpr LPARAM kIpcSetVisWindow = 611;
constexpr WORD kVisNext = 40382, kVisPrevious = 40383, kVisFullScreen = 40389, kVisConfigure = 40390;
struct EmbedWindowState {
  HWND me;
  int flags;
  RECT r;
  void* userPointer;
  int extraData[64];
};

// The colour the frame shows where nothing covers its client area.
constexpr COLORREF kFrameColour = RGB(0, 160, 64);

// Whether the host's window answers IPC_GET_EMBEDIF with a frame (off: the request goes unanswered, as in a host
// without the interface). Also clears the records below.
void OfferEmbedding(bool offered);
// The host window's procedure hands every kPlayerIpc message here.
LRESULT AnswerPlayerIpc(HWND host, WPARAM wParam, LPARAM lParam);

// The frame made for the last IPC_GET_EMBEDIF (null before any), and how many were asked for.
HWND EmbedFrame();
int EmbedRequests();
// The record the visualization passed with its request (null before any).
const EmbedWindowState* EmbedState();
// The windows named by IPC_SETVISWND, oldest first.
std::vector<HWND> VisWindowsSet();
// The frame's first child: the visualization's window in it.
HWND DockedWindow();
// Resizes the frame so that its client area is width x height, as a user's drag would.
bool ResizeFrameClient(int width, int height);
// Sends the player's visualization command (kVisNext, ...) to the window last named by IPC_SETVISWND, posted as
// the player does. False when no window was named.
bool PostVisCommand(WORD command);
